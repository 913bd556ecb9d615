// Module Gradient: the pattern engine's state and its operations.
// Holds the one process-wide PatternState and generator; evaluates the twelve
// algorithms live (into ColourGrid) and per pixel (into WallpaperPlanes).
// Knows nothing of windows or files; only mesh.cpp calls OpenGL.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Gradient {

constexpr int kPlaneRows = 151;     // rows 0..150: the live grid is at most 150 cells down
constexpr int kPlaneColumns = 201;  // columns 0..200: at most 200 cells across

using LivePlane = float[kPlaneRows][kPlaneColumns];

struct ColourPlanes {
  LivePlane R, G, B;
};

// The engine's record, fields in the designed order. Zero at process start.
struct PatternState {
  int32_t GridColumns, GridRows;
  int32_t Column, Row;
  int32_t Step;
  int32_t Speed;
  int32_t Algorithm;
  float OffsetX, OffsetY;
  float OffsetXVelocity, OffsetYVelocity;
  float PhaseA, PhaseAVelocity;
  float PhaseB, PhaseBVelocity;
  float PhaseC, PhaseCVelocity;
  float CellU, CellV;
  LivePlane VertexX, VertexY;
  ColourPlanes ColourGrid;
  long double PixelR, PixelG, PixelB;  // PixelColour
  float BiasX, BiasY;
  float SeqX[5], SeqY[5], SeqZ[5];  // indexed from 1; index 0 unused
};

// The one process-wide instance that the hosts drive.
extern PatternState Pattern;

// The designed grid of 120 x 90 cells: the live pattern's, in every window,
// and the divisors of the wallpaper the settings window saves (and the
// wallpaper command renders) for a pattern.
constexpr int32_t kGridColumns = 120;
constexpr int32_t kGridRows = 90;

// ---- The process-wide generator (32-bit linear congruential) ----
void SetRandomSeed(uint32_t seed);
uint32_t RandomSeed();
// seed := ((h*60+m)*60+s)*1000+ms of the current UTC time of day.
void SeedRandomFromClock();
// seed := seed*134775813+1; returns the high 32 bits of seed*n (0..n-1).
int32_t Random(int32_t n);

// ---- Floating point ----
// x87 control word 0x133F: 64-bit precision, round to nearest, all exceptions
// masked. Called first thing in every main().
void SetupFloatingPoint();
// The calling thread's x87 control word (0x133F after SetupFloatingPoint, read
// back with the reserved bit 6 set as the processor reports it);
// 0 where the processor has no x87 unit.
uint16_t FloatingPointControlWord();

// ---- Engines: where the per-point formulas are evaluated ----
// X87 is the reference arithmetic (extended precision, the processor's own
// sine, cosine and logarithm instructions). The others evaluate 2, 4 or 8
// points at once in double precision and give the very same live values and
// wallpaper bytes: a point whose double result could round differently from
// the reference is evaluated on the x87 path instead. Auto is the widest this
// processor runs. Selected once for the process (every later sweep and render).
enum class Engine { Auto, X87, Sse2, Avx2, Avx512 };
constexpr const char* kEngineNames = "auto, x87, sse2, avx2, avx512";
const char* EngineName(Engine e);  // "auto", "x87", ...
bool ParseEngineName(std::string_view name, Engine& out);
bool EngineAvailable(Engine e);  // this build on this processor; Auto and X87 always
Engine WidestEngine();
// Selects the engine (Auto: the widest); false, and nothing changes, when it
// is not available.
bool SelectEngine(Engine e);
Engine SelectedEngine();  // what runs: never Auto
// Selects the engine named; "" when done, otherwise one line saying why not
// (an unknown name, shown with its control characters escaped, or a width
// this processor lacks) and nothing changes. alsoAccepted: names the caller
// takes itself (the command's "gpu"), listed after the engines' own.
std::string SelectEngineByName(std::string_view name, std::string_view alsoAccepted = {});

// ---- Operations ----
// The live planes hold at most 200 x 150 cells: InitPattern, SweepFrame and
// SubmitMesh never go past them, whatever the grid size says.
void InitPattern(PatternState& s, int32_t columns, int32_t rows);
void DriftFrame(PatternState& s);          // the grid guards, then phases and offsets drift
void SweepFrame(PatternState& s);          // every grid point into ColourGrid
// The mesh (mesh.cpp): two triangles per cell, glDrawElements over client
// arrays of the shared grid points (glVertexPointer/glColorPointer).
void SubmitMesh(const PatternState& s);
// The same triangles and per-corner colours, submitted one vertex at a time
// (glBegin/glColor3fv/glVertex2fv/glEnd) instead of from client arrays.
void SubmitMeshImmediate(const PatternState& s);
void DrawFrame(PatternState& s);           // drift, sweep, mesh

// Fold ladders, for a single value (exposed for tests): 3,2,1 for algorithms
// 1, 2, 4, 5; 4,3,2,1 for 6 to 12; none for 3 (algorithm 12's floor is not
// part of its ladder).
float FoldLive(float v, int algorithm);
long double FoldWallpaper(long double v, int algorithm);

// One live evaluation of the current point (Column, Row) with s.Algorithm.
void EvaluateLivePoint(PatternState& s);
// One wallpaper evaluation of the current point into PixelR/G/B (folded).
void EvaluateWallpaperPoint(PatternState& s);
// The quantised 16-bit element for channel 0/1/2 of the last wallpaper point.
uint16_t QuantiseChannel(const PatternState& s, int channel);

// ---- Wallpaper rasteriser ----
constexpr int kWallpaperRows = 1201;
constexpr int kWallpaperColumns = 1601;

// Caller-owned planes of 16-bit elements, stride elements a row; element
// [r][c] at (r - firstRow) * stride + c, so that a band of rows can start
// anywhere.
struct PlaneView {
  uint16_t* R;
  uint16_t* G;
  uint16_t* B;
  int32_t stride;
  int32_t firstRow = 0;
};

// The static planes of 1201 x 1601 elements per colour, zero at start.
struct WallpaperPlaneSet {
  uint16_t R[kWallpaperRows][kWallpaperColumns];
  uint16_t G[kWallpaperRows][kWallpaperColumns];
  uint16_t B[kWallpaperRows][kWallpaperColumns];
};
extern WallpaperPlaneSet WallpaperPlanes;
PlaneView WallpaperPlanesView();

// Sweeps rows 0..GridRows x columns 0..GridColumns into WallpaperPlanes, on
// all cores (a grid beyond 1600 x 1200 is cut at the planes' edge).
// Leaves Column/Row = GridColumns+1/GridRows+1 and the last pixel in PixelR/G/B
// and the scratch fields; stores nothing when Algorithm is outside 1..12.
void RenderWallpaper(PatternState& s);
// The same sweep into caller-owned planes (any size), on `threads` threads
// (0 = all cores). The bytes never depend on the thread count.
// progress, if given, is called from the calling thread with 0..100.
void RenderWallpaperInto(PatternState& s, const PlaneView& planes, int threads = 0,
                         void (*progress)(int percent, void* user) = nullptr, void* user = nullptr);

// ---- The wallpaper in bands ----
// For a caller that writes rows as they come (the wallpaper command): the
// render is handed over band by band, so that it needs memory for a few
// bands of rows, not for the picture.
class WallpaperBandSink {
 public:
  virtual ~WallpaperBandSink() = default;
  // Rows first..last, columns 0..lastColumn of the plan, in band (whose
  // firstRow is first). Called on the thread that called
  // RenderWallpaperBands, band after band in the plan's order, while the
  // other threads render the next bands. The planes are the renderer's and
  // are reused once this returns.
  virtual void TakeBand(const PlaneView& band, int32_t first, int32_t last) = 0;
};

struct BandPlan {
  int32_t firstRow = 0, lastRow = 0;  // the rows rendered
  int32_t lastColumn = 0;             // columns 0..lastColumn of each
  bool descending = false;            // bands from lastRow down to firstRow
};

// The plan's rows with s's divisors (GridColumns, GridRows), phases, offsets
// and algorithm, on `threads` threads (0 = all cores), the calling thread
// among them: the very elements that RenderWallpaperInto stores for them,
// whatever the engine or thread count. s is not changed; an algorithm outside
// 1..12 gives zeros. An exception from the sink stops the render and is
// rethrown here once every thread has stopped.
void RenderWallpaperBands(const PatternState& s, const BandPlan& plan, int threads, WallpaperBandSink& sink);

}  // namespace Gradient
