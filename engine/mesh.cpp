// The live frame's mesh: two triangles per grid cell, each corner in its own
// ColourGrid colour, at z = -1.2 in eye space; and DrawFrame, which drifts,
// sweeps and then submits the mesh. The only engine file that calls OpenGL.
#include <algorithm>
#include <cstddef>

#ifdef _WIN32
#include <windows.h>  // the system's GL/gl.h needs WINGDIAPI and APIENTRY
#endif
#include <GL/gl.h>

#include "engine/gradient.h"

namespace Gradient {

namespace {

constexpr int kMaxPoints = kPlaneRows * kPlaneColumns;
constexpr int kMaxCells = (kPlaneRows - 1) * (kPlaneColumns - 1);

// Client arrays of the shared grid points, rebuilt every frame; the index
// list only when the grid size changes. Static: a frame allocates nothing.
struct MeshArrays {
  GLfloat positions[kMaxPoints][2];
  GLfloat colours[kMaxPoints][3];
  GLushort indices[kMaxCells * 6];
  int32_t columns = -1, rows = -1;  // size the index list was built for
};
MeshArrays gMesh;

// Cells actually drawn: the planes hold at most 150 x 200 cells.
int32_t CellRows(const PatternState& s) { return std::min(s.GridRows, kPlaneRows - 1); }
int32_t CellColumns(const PatternState& s) { return std::min(s.GridColumns, kPlaneColumns - 1); }

void BuildIndices(int32_t columns, int32_t rows) {
  const int32_t stride = columns + 1;
  GLushort* out = gMesh.indices;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      const auto p00 = GLushort(r * stride + c), p01 = GLushort(p00 + 1);
      const auto p10 = GLushort(p00 + stride), p11 = GLushort(p10 + 1);
      // (P00, P01, P11) and (P11, P10, P00)
      const GLushort cell[6] = {p00, p01, p11, p11, p10, p00};
      out = std::copy(cell, cell + 6, out);
    }
  }
  gMesh.columns = columns;
  gMesh.rows = rows;
}

void FillPoints(const PatternState& s, int32_t columns, int32_t rows) {
  int i = 0;
  for (int32_t r = 0; r <= rows; ++r) {
    for (int32_t c = 0; c <= columns; ++c, ++i) {
      gMesh.positions[i][0] = s.VertexX[r][c];
      gMesh.positions[i][1] = s.VertexY[r][c];
      gMesh.colours[i][0] = s.ColourGrid.R[r][c];
      gMesh.colours[i][1] = s.ColourGrid.G[r][c];
      gMesh.colours[i][2] = s.ColourGrid.B[r][c];
    }
  }
}

void PlaceMesh() {
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.2f);
}

void SubmitPoint(const PatternState& s, int32_t r, int32_t c, bool withColour) {
  if (withColour) {
    const GLfloat colour[3] = {s.ColourGrid.R[r][c], s.ColourGrid.G[r][c], s.ColourGrid.B[r][c]};
    glColor3fv(colour);
  }
  const GLfloat vertex[2] = {s.VertexX[r][c], s.VertexY[r][c]};
  glVertex2fv(vertex);
}

}  // namespace

void SubmitMesh(const PatternState& s) {
  PlaceMesh();
  const int32_t columns = CellColumns(s), rows = CellRows(s);
  if (columns < 1 || rows < 1) return;
  if (columns != gMesh.columns || rows != gMesh.rows) BuildIndices(columns, rows);
  FillPoints(s, columns, rows);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, gMesh.positions);
  glColorPointer(3, GL_FLOAT, 0, gMesh.colours);
  glDrawElements(GL_TRIANGLES, GLsizei(columns) * rows * 6, GL_UNSIGNED_SHORT, gMesh.indices);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void SubmitMeshImmediate(const PatternState& s) {
  PlaceMesh();
  const int32_t columns = CellColumns(s), rows = CellRows(s);
  glBegin(GL_TRIANGLES);
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      SubmitPoint(s, r, c, true);
      SubmitPoint(s, r, c + 1, true);
      SubmitPoint(s, r + 1, c + 1, true);
      SubmitPoint(s, r + 1, c + 1, false);  // still P11's colour
      SubmitPoint(s, r + 1, c, true);
      SubmitPoint(s, r, c, true);
    }
  }
  glEnd();
}

void DrawFrame(PatternState& s) {
  DriftFrame(s);
  SweepFrame(s);
  SubmitMesh(s);
}

}  // namespace Gradient
