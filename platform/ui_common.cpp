// The portable half of the windowing layer: form close and show sequencing,
// control state and its rules (track bar clamping, change-only-on-change,
// timer enabling), the linked drive/folder/file lists over std::filesystem,
// and the application object. The platforms only mirror state and report events.
#include "platform/ui.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace ui {
namespace {

// The program's text is UTF-8. A path is made from it and read back through
// char8_t: std::filesystem's plain strings are not UTF-8 everywhere (MinGW's
// takes each byte for a character), so a folder name outside ASCII would not
// be found again. A name that is no valid text (invalid UTF-8 here, a lone
// surrogate in a Windows name) gives nothing, not an exception.
std::optional<fs::path> PathOf(const std::string& text) {
  try {
    return fs::path(std::u8string(text.begin(), text.end()));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::string> TextOf(const fs::path& path) {
  try {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string CurrentFolder() {
  std::error_code ec;
  const fs::path current = fs::current_path(ec);
  return ec ? std::string() : TextOf(current).value_or(std::string());
}

}  // namespace

// ---------------------------------------------------------------------------
// Application

Application& Application::Get() {
  static Application app;
  return app;
}

void Application::Initialize() { PlatformInitialize(); }

void Application::Adopt(std::unique_ptr<Form> form) {
  if (!mainForm_) mainForm_ = form.get();
  forms_.push_back(std::move(form));
}

void Application::Run() {
  if (!mainForm_ || terminated_) return;
  if (!mainForm_->Freed() && !mainForm_->Visible()) mainForm_->Show();
  if (terminated_) return;
  PlatformRunLoop();
}

void Application::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PlatformQuit();
}

void Application::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::bad_alloc&) {
    ShowError("Out of memory");
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void Application::ShowError(const std::string& message) { PlatformMessageBox(title_, message); }

void Application::Reset() {
  forms_.clear();
  mainForm_ = nullptr;
  terminated_ = false;
}

void Application::FormFreed(Form* form) {
  // Closing the main window ends the program, whatever its close action.
  if (form == mainForm_) Terminate();
}

// ---------------------------------------------------------------------------
// Form

Form::Form(const FormDesign& design) : design_(design), native_(CreateNativeForm(*this)) {}

Form::~Form() = default;

NativeHandle Form::Handle() const { return native_->Handle(); }

void Form::Show() {
  if (freed_ || native_->Visible()) return;
  native_->Show();
  shown_ = true;
  Application::Get().Dispatch([this] { FormShow(); });
}

void Form::Hide() { native_->Hide(); }
bool Form::Visible() const { return !freed_ && native_->Visible(); }
void Form::Close() { NativeCloseRequest(); }

void Form::Destroy() {
  if (freed_) return;
  native_->Destroy();
  NativeDestroyed();
}

void Form::SetOuterSize(int width, int height) { native_->SetOuterSize(width, height); }
void Form::SetBounds(const Rect& outer) { native_->SetBounds(outer); }
void Form::SetCaption(const std::string& caption) {
  design_.caption = caption;
  native_->SetCaption(caption);
}
int Form::ClientWidth() const { return native_->ClientWidth(); }
int Form::ClientHeight() const { return native_->ClientHeight(); }
bool Form::Active() const { return !freed_ && native_->Active(); }

void Form::NativeKeyDown(int key) {
  if (freed_) return;
  Application::Get().Dispatch([this, key] { FormKeyDown(key); });
  if (freed_ || !design_.modalDialog) return;
  // A dialog's default and cancel buttons answer Enter and Escape.
  for (Control* c : controls_) {
    auto* b = dynamic_cast<Button*>(c);
    if (!b) continue;
    if ((key == VK_RETURN_KEY && b->Design().defaultButton) ||
        (key == VK_ESCAPE_KEY && b->Design().cancelButton)) {
      b->Click();
      return;
    }
  }
}

void Form::NativeMouseMove(int x, int y) {
  if (freed_) return;
  Application::Get().Dispatch([this, x, y] { FormMouseMove(x, y); });
}

bool Form::NativeCloseRequest() {
  if (freed_) return true;
  bool canClose = true;
  Application::Get().Dispatch([&] { FormCloseQuery(canClose); });
  if (!canClose) return false;
  const bool isMain = Application::Get().MainForm() == this;
  CloseAction action = isMain ? CloseAction::Free : CloseAction::Hide;
  Application::Get().Dispatch([&] { FormClose(action); });
  if (freed_) return true;  // the handler destroyed the window itself
  switch (action) {
    case CloseAction::None:
      return false;
    case CloseAction::Hide:
      native_->Hide();
      if (isMain) Application::Get().Terminate();
      return true;
    case CloseAction::Free:
      Destroy();
      return true;
  }
  return true;
}

void Form::NativeDestroyed() {
  if (freed_) return;
  freed_ = true;
  Application::Get().FormFreed(this);
}

// ---------------------------------------------------------------------------
// Controls

Control::Control(Form& owner, const ControlDesign& design)
    : owner_(owner), design_(design), text_(design.text), font_(design.font) {
  native_ = CreateNativeControl(*this);
  owner_.AddControl(this);
}

Control::~Control() = default;

void Control::SetText(const std::string& text) {
  text_ = text;
  native_->SetText(text);
}
void Control::SetFont(const Font& font) {
  font_ = font;
  native_->SetFont(font);
}
void Control::SetFontColour(Colour colour) {
  font_.colour = colour;
  native_->SetFont(font_);
}
void Control::SetEnabled(bool enabled) { native_->SetEnabled(enabled); }
void Control::Focus() { native_->Focus(); }

static ControlDesign MakeDesign(ControlKind kind, Rect bounds, const std::string& text, const Font& font) {
  ControlDesign d;
  d.kind = kind;
  d.bounds = bounds;
  d.text = text;
  d.font = font;
  return d;
}

Label::Label(Form& owner, Rect bounds, const std::string& caption, const Font& font)
    : Control(owner, MakeDesign(ControlKind::Label, bounds, caption, font)) {}

TrackBar::TrackBar(Form& owner, Rect bounds, int min, int max, int position)
    : Control(owner, MakeDesign(ControlKind::TrackBar, bounds, "", Font())),
      min_(min),
      max_(max),
      position_(std::clamp(position, min, max)) {
  native_->SetRange(min_, max_);
  native_->SetPosition(position_);
}

void TrackBar::SetPosition(int position) {
  position = std::clamp(position, min_, max_);
  if (position == position_) return;
  position_ = position;
  native_->SetPosition(position_);
  if (OnChange) Application::Get().Dispatch(OnChange);
}

void TrackBar::NativePositionChanged(int position) { SetPosition(position); }

CheckBox::CheckBox(Form& owner, Rect bounds, const std::string& caption, const Font& font)
    : Control(owner, MakeDesign(ControlKind::CheckBox, bounds, caption, font)) {}

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  native_->SetChecked(checked_);
  if (OnClick) Application::Get().Dispatch(OnClick);
}

void CheckBox::NativeClicked() { SetChecked(!checked_); }

Button::Button(Form& owner, Rect bounds, const std::string& caption, const Font& font, bool defaultButton,
               bool cancelButton)
    : Control(owner, [&] {
        ControlDesign d = MakeDesign(ControlKind::Button, bounds, caption, font);
        d.defaultButton = defaultButton;
        d.cancelButton = cancelButton;
        return d;
      }()) {}

void Button::Click() {
  if (OnClick) Application::Get().Dispatch(OnClick);
}

Edit::Edit(Form& owner, Rect bounds, const std::string& text)
    : Control(owner, MakeDesign(ControlKind::Edit, bounds, text, Font{"Arial", 16, false, clBlack})) {}

ChoiceBox::ChoiceBox(Form& owner, Rect bounds, std::vector<std::string> items, int selected, const Font& font)
    : Control(owner, MakeDesign(ControlKind::ChoiceList, bounds, "", font)), items_(std::move(items)) {
  const int count = static_cast<int>(items_.size());
  selected_ = selected >= 0 && selected < count ? selected : (count > 0 ? 0 : -1);
  native_->SetItems(items_, selected_);
}

void ChoiceBox::SetSelected(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size()) || index == selected_) return;
  selected_ = index;
  native_->SetItems(items_, selected_);
  if (OnChange) Application::Get().Dispatch(OnChange);
}

void ChoiceBox::NativeItemChosen(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) {
    native_->SetItems(items_, selected_);  // the box shows the choice in force again
    return;
  }
  SetSelected(index);
}

// ---------------------------------------------------------------------------
// The linked lists of the save dialog

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*" || mask == "*.*") return true;
  if (mask.size() < 2 || mask[0] != '*') return name == mask;
  const std::string suffix = mask.substr(1);
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char a, char b) {
                      return std::tolower(static_cast<unsigned char>(a)) ==
                             std::tolower(static_cast<unsigned char>(b));
                    });
}

DriveComboBox::DriveComboBox(Form& owner, Rect bounds)
    : Control(owner, MakeDesign(ControlKind::DriveList, bounds, "", Font{"Arial", 16, false, clBlack})),
      drives_(ListDrives()) {
  native_->SetItems(drives_, -1);
}

void DriveComboBox::SetDrive(const std::string& drive) {
  drive_ = drive;
  auto it = std::find(drives_.begin(), drives_.end(), drive);
  native_->SetItems(drives_, it == drives_.end() ? -1 : static_cast<int>(it - drives_.begin()));
  if (DirList) DirList->SetDirectory(drive);
}

void DriveComboBox::SyncTo(const std::string& folder) {
  // The drive is the longest listed root that the folder starts with.
  int best = -1;
  size_t bestLength = 0;
  for (size_t i = 0; i < drives_.size(); ++i) {
    const std::string& d = drives_[i];
    if (folder.compare(0, d.size(), d) == 0 && d.size() >= bestLength) {
      best = static_cast<int>(i);
      bestLength = d.size();
    }
  }
  if (best >= 0) drive_ = drives_[static_cast<size_t>(best)];
  native_->SetItems(drives_, best);
}

void DriveComboBox::NativeItemChosen(int index) {
  if (index >= 0 && index < static_cast<int>(drives_.size())) SetDrive(drives_[static_cast<size_t>(index)]);
}

DirectoryListBox::DirectoryListBox(Form& owner, Rect bounds)
    : Control(owner, MakeDesign(ControlKind::DirectoryList, bounds, "", Font{"Arial", 16, false, clBlack})) {
  directory_ = CurrentFolder();
  Refill();
}

bool DirectoryListBox::SetDirectory(const std::string& folder) {
  const std::optional<fs::path> path = PathOf(folder);
  if (folder.empty() || !path) return false;
  std::error_code ec;
  if (!fs::is_directory(*path, ec) || ec) return false;
  fs::current_path(*path, ec);
  if (ec) return false;
  directory_ = CurrentFolder();
  if (directory_.empty()) directory_ = folder;
  Refill();
  if (DriveCombo) DriveCombo->SyncTo(directory_);
  if (FileList) FileList->Read(directory_);
  return true;
}

void DirectoryListBox::Refill() {
  items_.clear();
  const fs::path dir = PathOf(directory_).value_or(fs::path());
  // Ancestors from the root down to the folder itself.
  std::vector<std::string> chain;
  for (fs::path p = dir; !p.empty(); p = p.parent_path()) {
    chain.push_back(TextOf(p).value_or(std::string()));
    if (p == p.parent_path()) break;
  }
  items_.assign(chain.rbegin(), chain.rend());
  currentIndex_ = static_cast<int>(items_.size()) - 1;
  // Then its subfolders, sorted; unreadable entries are skipped.
  std::vector<std::string> subs;
  std::error_code ec;
  for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_directory(typeEc) || typeEc) continue;
    if (std::optional<std::string> sub = TextOf(it->path())) subs.push_back(std::move(*sub));
  }
  std::sort(subs.begin(), subs.end());
  items_.insert(items_.end(), subs.begin(), subs.end());
  std::vector<std::string> shown;
  for (const auto& item : items_) {
    const fs::path p = PathOf(item).value_or(fs::path());
    shown.push_back(p.has_filename() ? TextOf(p.filename()).value_or(item) : item);
  }
  native_->SetItems(shown, currentIndex_);
}

void DirectoryListBox::NativeItemChosen(int index) {
  if (index >= 0 && index < static_cast<int>(items_.size())) SetDirectory(items_[static_cast<size_t>(index)]);
}

FileListBox::FileListBox(Form& owner, Rect bounds, const std::string& mask)
    : Control(owner, MakeDesign(ControlKind::FileList, bounds, "", Font{"Arial", 16, false, clBlack})),
      mask_(mask) {}

void FileListBox::Read(const std::string& folder) {
  directory_ = folder;
  files_.clear();
  std::error_code ec;
  const fs::path dir = PathOf(folder).value_or(fs::path());
  for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc) || typeEc) continue;
    std::optional<std::string> name = TextOf(it->path().filename());
    if (name && MatchesMask(*name, mask_)) files_.push_back(std::move(*name));
  }
  std::sort(files_.begin(), files_.end());
  selected_ = -1;
  native_->SetItems(files_, -1);
  if (FileEdit) FileEdit->SetText(mask_);
}

void FileListBox::Select(int index) {
  if (index < 0 || index >= static_cast<int>(files_.size())) return;
  selected_ = index;
  native_->SetItems(files_, index);
  if (FileEdit) FileEdit->SetText(files_[static_cast<size_t>(index)]);
}

// ---------------------------------------------------------------------------
// Timer and GL surface

Timer::Timer(Form& /*owner*/, int intervalMs, bool enabled) : interval_(intervalMs) {
  native_ = CreateNativeTimer(*this);
  SetEnabled(enabled);
}

Timer::~Timer() {
  if (native_ && enabled_) native_->Stop();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_)
    native_->Start(interval_);
  else
    native_->Stop();
}

void Timer::NativeTick() {
  if (enabled_ && OnTimer) Application::Get().Dispatch(OnTimer);
}

GLSurface::GLSurface(Form& owner, Rect area) : native_(CreateNativeSurface(owner, area)) {}
GLSurface::~GLSurface() = default;
void GLSurface::Create(const PixelFormat& format) { native_->Create(format); }
void GLSurface::Viewport(int x, int y, int width, int height) { native_->Viewport(x, y, width, height); }
void GLSurface::Swap() { native_->Swap(); }
void GLSurface::Release() { native_->Release(); }
bool GLSurface::Created() const { return native_->Created(); }
bool GLSurface::Seen() { return native_->Seen(); }

}  // namespace ui
