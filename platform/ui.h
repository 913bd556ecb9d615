// Our small windowing layer: just what the saver window, the settings window
// and the save dialog use. The portable half (control state, clamping rules,
// list linking, error display routing) lives in ui_common.cpp; each platform
// (win32/, linux/, headless/) supplies the Native* objects that make the OS
// calls and report user events back through the Native* callbacks below.
// The preview and the daemons' hack mode use the layer's embedded GL window
// instead of a form (gl_window.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/native_handle.h"

namespace ui {

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
};
struct Point {
  int x = 0, y = 0;
};

// Colours are Windows colour values: red in bits 0-7, green 8-15, blue 16-23.
using Colour = std::uint32_t;
constexpr Colour clBlack = 0x000000;
constexpr Colour clBtnText = 0x000000;     // standard scheme
constexpr Colour clSilver = 0xC0C0C0;
constexpr Colour cl3DDkShadow = 0x404040;  // standard scheme

struct Font {
  std::string face = "Arial";  // a bold sans-serif stands in where Arial is absent
  int height = 16;             // pixels
  bool bold = true;
  Colour colour = clBlack;
};

// Virtual key codes the forms look at.
constexpr int VK_ESCAPE_KEY = 27;
constexpr int VK_RETURN_KEY = 13;

class Form;
class Control;
class Timer;

// ---------------------------------------------------------------------------
// Platform objects. Each platform implements these interfaces and the factory
// functions declared under "Platform services".

// What a platform does for one control; portable code owns the state and only
// pushes it down. Methods a kind of control does not use are left as no-ops.
class NativeControl {
 public:
  virtual ~NativeControl() = default;
  virtual void SetText(const std::string&) {}
  virtual void SetFont(const Font&) {}
  virtual void SetRange(int /*min*/, int /*max*/) {}
  virtual void SetPosition(int) {}
  virtual void SetChecked(bool) {}
  virtual void SetItems(const std::vector<std::string>&, int /*selected*/) {}
  virtual void SetEnabled(bool) {}
  virtual void Focus() {}
};

class NativeTimer {
 public:
  virtual ~NativeTimer() = default;
  virtual void Start(int intervalMs) = 0;
  virtual void Stop() = 0;
};

// Pixel format request: RGBA, double-buffered, drawn to a window.
struct PixelFormat {
  int colourBits = 32;
  int depthBits = 0;
};

// A window's OpenGL surface (device context + rendering context on Windows,
// a GLX drawable + context on Linux).
class NativeSurface {
 public:
  virtual ~NativeSurface() = default;
  // Chooses and sets the pixel format, creates the context and makes it
  // current on the calling (main) thread. Failures are silent: later GL calls
  // then draw nothing.
  virtual void Create(const PixelFormat&) = 0;
  // glViewport in the form's client coordinates, origin bottom-left; the
  // platform maps it onto its drawable.
  virtual void Viewport(int x, int y, int width, int height) = 0;
  virtual void Swap() = 0;     // swaps the buffers of the current drawable
  virtual void Release() = 0;  // context made non-current and deleted, drawable released
  virtual bool Created() const = 0;
  // Whether what is drawn can be seen now: the window mapped and not fully
  // covered, the display on, as far as the platform can tell.
  virtual bool Seen() = 0;
};

class NativeForm {
 public:
  virtual ~NativeForm() = default;
  virtual NativeHandle Handle() const = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;
  virtual void Close() = 0;  // asks for a close: the form's close query runs
  virtual void Destroy() = 0;
  virtual void SetOuterSize(int width, int height) = 0;
  // Places the window's outer rectangle exactly there, in desktop coordinates
  // (see Desktop()), instead of centring it.
  virtual void SetBounds(const Rect& outer) = 0;
  virtual void SetCaption(const std::string&) = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  virtual bool Active() const = 0;  // foreground window with the keyboard focus
};

// ---------------------------------------------------------------------------
// Forms.

enum class BorderStyle { None, Single, Dialog };
enum class CloseAction { None, Hide, Free };

struct FormDesign {
  std::string caption;
  BorderStyle border = BorderStyle::Single;
  bool stayOnTop = false;
  bool minimizeBox = false;
  int clientWidth = 0, clientHeight = 0;
  Colour colour = clSilver;
  bool keyPreview = false;
  bool screenCentre = true;
  bool modalDialog = false;  // the save dialog: default (Enter) and cancel (Esc) buttons
};

class Form {
 public:
  explicit Form(const FormDesign& design);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // The designed event handlers. Errors thrown from any of them are shown in
  // the application's message box; the action stops there.
  virtual void FormCreate() {}
  virtual void FormShow() {}
  virtual void FormKeyDown(int /*key*/) {}
  virtual void FormMouseMove(int /*x*/, int /*y*/) {}
  virtual void FormCloseQuery(bool& canClose) { canClose = true; }
  virtual void FormClose(CloseAction& /*action*/) {}

  const FormDesign& Design() const { return design_; }
  NativeHandle Handle() const;
  void Show();
  void Hide();
  bool Visible() const;
  void Close();    // close request: FormCloseQuery, then FormClose
  void Destroy();  // the window goes away without a close query
  void SetOuterSize(int width, int height);
  void SetBounds(const Rect& outer);
  void SetCaption(const std::string& caption);
  int ClientWidth() const;
  int ClientHeight() const;
  bool Active() const;
  bool Shown() const { return shown_; }

  // Platform callbacks: the native window reports its events here.
  void NativeShown();              // first time the window is shown
  void NativeKeyDown(int key);     // key preview / form keys
  void NativeMouseMove(int x, int y);
  bool NativeCloseRequest();       // returns true when the window may close
  void NativeDestroyed();          // the native window is gone

  NativeForm& Native() { return *native_; }
  const NativeForm& Native() const { return *native_; }
  void AddControl(Control* c) { controls_.push_back(c); }
  const std::vector<Control*>& Controls() const { return controls_; }
  bool Freed() const { return freed_; }

 private:
  FormDesign design_;
  std::unique_ptr<NativeForm> native_;
  std::vector<Control*> controls_;
  bool shown_ = false;
  bool freed_ = false;
};

// ---------------------------------------------------------------------------
// Controls. Each keeps its state here; the native control mirrors it.

enum class ControlKind { Label, TrackBar, CheckBox, Button, Edit, ChoiceList, DriveList, DirectoryList, FileList };

struct ControlDesign {
  ControlKind kind = ControlKind::Label;
  Rect bounds;
  std::string text;
  Font font;
  bool defaultButton = false;  // Enter presses it
  bool cancelButton = false;   // Escape presses it
};

class Control {
 public:
  Control(Form& owner, const ControlDesign& design);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Form& Owner() { return owner_; }
  const ControlDesign& Design() const { return design_; }
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  const Font& GetFont() const { return font_; }
  void SetFont(const Font& font);
  void SetFontColour(Colour colour);
  void SetEnabled(bool enabled);
  void Focus();
  NativeControl& Native() { return *native_; }
  const NativeControl& Native() const { return *native_; }

  // Platform callbacks.
  virtual void NativeClicked() {}
  virtual void NativePositionChanged(int) {}
  virtual void NativeTextChanged(const std::string& text) { text_ = text; }
  virtual void NativeItemChosen(int) {}

 protected:
  Form& owner_;
  ControlDesign design_;
  std::string text_;
  Font font_;
  std::unique_ptr<NativeControl> native_;
};

class Label : public Control {
 public:
  Label(Form& owner, Rect bounds, const std::string& caption, const Font& font = Font());
};

class TrackBar : public Control {
 public:
  // A tick at every position, below the bar.
  TrackBar(Form& owner, Rect bounds, int min, int max, int position);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  // Clamps to Min..Max; OnChange runs only when the position really changes.
  void SetPosition(int position);
  std::function<void()> OnChange;
  void NativePositionChanged(int position) override;

 private:
  int min_, max_, position_;
};

class CheckBox : public Control {
 public:
  // Caption on the left of the box.
  CheckBox(Form& owner, Rect bounds, const std::string& caption, const Font& font = Font());
  bool Checked() const { return checked_; }
  // Setting a new state runs OnClick, as a click would.
  void SetChecked(bool checked);
  std::function<void()> OnClick;
  void NativeClicked() override;  // the user toggled it

 private:
  bool checked_ = false;
};

class Button : public Control {
 public:
  Button(Form& owner, Rect bounds, const std::string& caption, const Font& font = Font(),
         bool defaultButton = false, bool cancelButton = false);
  void Click();  // runs OnClick through the error display
  std::function<void()> OnClick;
  void NativeClicked() override { Click(); }
};

class Edit : public Control {
 public:
  Edit(Form& owner, Rect bounds, const std::string& text = "");
};

// A drop-down list of fixed items, one of them always chosen. `bounds` is the
// closed box; the list drops below it.
class ChoiceBox : public Control {
 public:
  ChoiceBox(Form& owner, Rect bounds, std::vector<std::string> items, int selected, const Font& font = Font());
  const std::vector<std::string>& Items() const { return items_; }
  int Selected() const { return selected_; }
  // An index outside the items is ignored; OnChange runs only when the
  // choice really changes.
  void SetSelected(int index);
  std::function<void()> OnChange;
  // The user picked an item; a report of no item puts the choice back.
  void NativeItemChosen(int index) override;

 private:
  std::vector<std::string> items_;
  int selected_;
};

// ---- The save dialog's linked lists ----

class FileListBox;
class DirectoryListBox;

class DriveComboBox : public Control {
 public:
  DriveComboBox(Form& owner, Rect bounds);
  const std::vector<std::string>& Drives() const { return drives_; }
  const std::string& Drive() const { return drive_; }
  void SetDrive(const std::string& drive);  // re-points the linked folder list
  void SyncTo(const std::string& folder);   // show the drive holding this folder
  DirectoryListBox* DirList = nullptr;
  void NativeItemChosen(int index) override;

 private:
  std::vector<std::string> drives_;
  std::string drive_;
};

class DirectoryListBox : public Control {
 public:
  DirectoryListBox(Form& owner, Rect bounds);
  const std::string& Directory() const { return directory_; }
  // Enters the folder: makes it the process's current directory and re-reads
  // the linked file list. Returns false (nothing changes) when it cannot.
  bool SetDirectory(const std::string& folder);
  // The items shown: the folder's ancestors from the root, then its subfolders.
  const std::vector<std::string>& Items() const { return items_; }
  int CurrentIndex() const { return currentIndex_; }
  FileListBox* FileList = nullptr;
  DriveComboBox* DriveCombo = nullptr;
  void NativeItemChosen(int index) override;

 private:
  void Refill();
  std::string directory_;
  std::vector<std::string> items_;   // full paths
  int currentIndex_ = -1;
};

class FileListBox : public Control {
 public:
  FileListBox(Form& owner, Rect bounds, const std::string& mask = "*.bmp");
  const std::string& Mask() const { return mask_; }
  const std::string& Directory() const { return directory_; }
  const std::vector<std::string>& Files() const { return files_; }
  int Selected() const { return selected_; }
  // Re-reads the folder; with no file selected the linked edit box gets the mask.
  void Read(const std::string& folder);
  void Select(int index);  // puts the file's name into the linked edit box
  Edit* FileEdit = nullptr;
  void NativeItemChosen(int index) override { Select(index); }

 private:
  std::string mask_, directory_;
  std::vector<std::string> files_;
  int selected_ = -1;
};

// Matches a file name against a mask of the form "*.ext" or "*" (case-insensitive).
bool MatchesMask(const std::string& name, const std::string& mask);

// ---------------------------------------------------------------------------

class Timer {
 public:
  Timer(Form& owner, int intervalMs, bool enabled);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  int Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }
  // Enabling an enabled timer does not restart its running period.
  void SetEnabled(bool enabled);
  std::function<void()> OnTimer;
  void NativeTick();  // the platform's timer fired

 private:
  int interval_;
  bool enabled_ = false;
  std::unique_ptr<NativeTimer> native_;
};

// A form's OpenGL surface. `area` is the part of the client area (top-down
// client coordinates) the drawing may cover; Windows draws on the whole client
// device context, the Linux layer places a GL sub-window there.
class GLSurface {
 public:
  GLSurface(Form& owner, Rect area);
  ~GLSurface();
  GLSurface(const GLSurface&) = delete;
  GLSurface& operator=(const GLSurface&) = delete;
  void Create(const PixelFormat& format);
  void Viewport(int x, int y, int width, int height);
  void Swap();
  void Release();
  bool Created() const;
  // Whether a frame drawn now would be seen (see NativeSurface::Seen).
  bool Seen();

 private:
  std::unique_ptr<NativeSurface> native_;
};

// ---------------------------------------------------------------------------
// The application object: title, main form, message loop, terminate request,
// default error display.

class Application {
 public:
  static Application& Get();
  void Initialize();
  void SetTitle(const std::string& title) { title_ = title; }
  const std::string& Title() const { return title_; }

  // Constructs a form and runs its creation handler; the first form created
  // becomes the main form. The application owns it.
  template <class F, class... Args>
  F& CreateForm(Args&&... args) {
    auto form = std::make_unique<F>(std::forward<Args>(args)...);
    F& ref = *form;
    Adopt(std::move(form));
    Dispatch([&ref] { ref.FormCreate(); });
    return ref;
  }
  Form* MainForm() const { return mainForm_; }

  // Shows the main form if its creation has not, and runs the message loop
  // until Terminate or until the main form closes. Returns at once without a
  // main form.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Runs a handler; an exception that escapes it is shown in a message box
  // with the error icon, titled with the application title.
  void Dispatch(const std::function<void()>& handler);
  void ShowError(const std::string& message);

  // For the forms' owner: called when a form has been freed.
  void FormFreed(Form* form);
  // Forgets every form and the terminate request (the unit tests' fresh start).
  void Reset();

 private:
  void Adopt(std::unique_ptr<Form> form);
  std::string title_;
  Form* mainForm_ = nullptr;
  std::vector<std::unique_ptr<Form>> forms_;
  bool terminated_ = false;
};

// ---------------------------------------------------------------------------
// Platform services (implemented once per platform).

std::unique_ptr<NativeForm> CreateNativeForm(Form& form);
std::unique_ptr<NativeControl> CreateNativeControl(Control& control);
std::unique_ptr<NativeTimer> CreateNativeTimer(Timer& timer);
std::unique_ptr<NativeSurface> CreateNativeSurface(Form& form, Rect area);

void PlatformInitialize();
// Runs the platform's message loop until PlatformQuit; returns at once if
// there is nothing to run.
void PlatformRunLoop();
void PlatformQuit();
void PlatformMessageBox(const std::string& title, const std::string& message);

// The screen's width and height: the primary monitor's.
int ScreenWidth();
int ScreenHeight();

// The desktop the full-screen saver covers, in desktop coordinates (those of
// the cursor position): `bounds` holds every monitor (the X root window; the
// Windows virtual screen, whose origin may be negative), and `monitors` lists
// each monitor's rectangle, the primary first. A system that reports no
// monitors gives the whole screen as one.
struct DesktopGeometry {
  Rect bounds;
  std::vector<Rect> monitors;
};
DesktopGeometry Desktop();

// The monotonic clock that paces the live frames (the headless layer's is
// the virtual one that fires its timers).
std::chrono::steady_clock::time_point Now();

Point CursorPos();
// ShowCursor: the display count after the change (the cursor shows at >= 0).
int ShowCursor(bool show);
// Tells the system that a screen saver runs (or stopped).
void SetScreenSaverRunning(bool running);
// The drive list of the save dialog: drive roots on Windows, the file system
// root and the mounted volumes on Linux.
std::vector<std::string> ListDrives();
// Windows created after this call, laid out in fixed pixels, are scaled by
// the system on a screen scaled above 100% (Windows; elsewhere nothing to do).
// ScreenWidth and ScreenHeight still give the screen's own pixels.
void ScaleDesignedWindowsBySystem();

}  // namespace ui
