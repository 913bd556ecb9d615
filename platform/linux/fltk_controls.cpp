// Controls on FLTK: labels, track bars with a tick at every position below
// the bar, a check box with its caption on the left, buttons, an edit box, a
// drop-down list of choices (also the save dialog's drive choice), and the
// save dialog's folder list and file list. Each widget only
// mirrors the state that portable code pushes down and reports user actions
// back; it decides nothing.
#include "platform/linux/fltk_internal.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Slider.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <functional>


namespace ui {

namespace fltk {

namespace {

// ---- Widgets that FLTK lacks in the shape the forms were designed with ----

// A text label that grows to fit its text (never below its designed width).
// One that would then run past its window's right edge moves left until it
// fits, and stays there: the fonts that stand in for Arial here are wider,
// and the FPS readout by the edge must show "FPS 100" whole without jumping
// each time its number gains or loses a digit.
class LabelBox : public Fl_Box {
 public:
  LabelBox(int x, int y, int w, int h) : Fl_Box(x, y, w, h), designWidth_(w) {
    box(FL_FLAT_BOX);
    align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP);
  }
  void Fit() {
    int tw = 0, th = 0;
    measure_label(tw, th);
    const int width = std::max(designWidth_, tw + 2 * kTextInset);
    int left = x();
    if (window() && left + width > window()->w()) left = std::max(0, window()->w() - width);
    if (width == w() && left == x()) return;
    if (window()) window()->damage(FL_DAMAGE_ALL, x(), y(), w(), h());  // clear the old extent
    resize(left, y(), width, h());
  }

 private:
  // FLTK draws a left-aligned label this far in from either side.
  static constexpr int kTextInset = 3;
  int designWidth_;
};

// A horizontal track bar: the slider above, a tick for every position below.
class TickSlider : public Fl_Slider {
 public:
  static constexpr int kTickArea = 5;
  TickSlider(int x, int y, int w, int h) : Fl_Slider(x, y, w, h + kTickArea), barHeight_(h) {
    type(FL_HOR_NICE_SLIDER);
    step(1);
    slider_size(0.1);
  }
  void draw() override {
    fl_rectf(x(), y(), w(), h(), parent() ? parent()->color() : color());
    Fl_Slider::draw(x(), y(), w(), barHeight_);
    DrawTicks();
    if (Fl::focus() == this) draw_focus(FL_NO_BOX, x(), y(), w(), barHeight_);
  }

 private:
  void DrawTicks() {
    const int count = static_cast<int>(maximum() - minimum());
    if (count <= 0) return;
    // The knob's centre travels between half a knob from each end.
    const int knob = static_cast<int>(slider_size() * (w() - 4) + 0.5);
    const int left = x() + 2 + knob / 2, span = w() - 4 - knob;
    fl_color(FL_DARK3);
    for (int i = 0; i <= count; ++i) {
      const int px = left + span * i / count;
      fl_yxline(px, y() + barHeight_ + 1, y() + h() - 1);
    }
  }
  int barHeight_;
};

// A check box whose caption stands on the left of the box.
class LeftCheckBox : public Fl_Check_Button {
 public:
  LeftCheckBox(int x, int y, int w, int h) : Fl_Check_Button(x, y, w, h) {}
  void draw() override {
    fl_rectf(x(), y(), w(), h(), parent() ? parent()->color() : color());
    const int size = std::min(13, h());
    const int bx = x() + w() - size - 2, by = y() + (h() - size) / 2;
    fl_draw_box(FL_DOWN_BOX, bx, by, size, size, active_r() ? FL_BACKGROUND2_COLOR : FL_BACKGROUND_COLOR);
    if (value()) DrawTick(bx, by, size);
    draw_label(x() + 2, y(), w() - size - 6, h(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    if (Fl::focus() == this) draw_focus();
  }

 private:
  static void DrawTick(int bx, int by, int size) {
    fl_color(FL_FOREGROUND_COLOR);
    fl_line_style(FL_SOLID, 2);
    fl_line(bx + 3, by + size / 2, bx + size / 2 - 1, by + size - 4, bx + size - 3, by + 3);
    fl_line_style(0);
  }
};

// A list that reports a double click on an item (the second press).
class ListBrowser : public Fl_Hold_Browser {
 public:
  ListBrowser(int x, int y, int w, int h) : Fl_Hold_Browser(x, y, w, h) {}
  int handle(int event) override {
    const bool second = event == FL_PUSH && Fl::event_clicks() > 0;
    const int handled = Fl_Hold_Browser::handle(event);
    if (second && value() > 0 && onDoubleClick) onDoubleClick();  // may refill the list
    return handled;
  }
  std::function<void()> onDoubleClick;
};

// ---- The native control ----

void ApplyLabelFont(Fl_Widget* w, const Font& font) {
  w->labelfont(ToFlFont(font));
  w->labelsize(font.height);
  w->labelcolor(ToFlColour(font.colour));
}

class FltkControl : public NativeControl {
 public:
  FltkControl(Control& control, Fl_Widget* widget) : control_(control), widget_(widget) {
    widget_->callback(&FltkControl::Callback, this);
  }
  ~FltkControl() override {
    if (widget_->parent()) widget_->parent()->remove(widget_);
    Fl::delete_widget(widget_);
  }
  void SetEnabled(bool enabled) override {
    if (enabled)
      widget_->activate();
    else
      widget_->deactivate();
  }
  void Focus() override { widget_->take_focus(); }
  Fl_Widget* Widget() { return widget_; }

 protected:
  virtual void Activated() = 0;
  Control& control_;
  Fl_Widget* widget_;

 private:
  static void Callback(Fl_Widget*, void* self) { static_cast<FltkControl*>(self)->Activated(); }
};

class LabelControl : public FltkControl {
 public:
  LabelControl(Control& c, LabelBox* box) : FltkControl(c, box), box_(box) {
    box_->color(ToFlColour(c.Owner().Design().colour));
  }
  void SetText(const std::string& text) override {
    box_->copy_label(text.c_str());
    box_->Fit();
    box_->redraw();
  }
  void SetFont(const Font& font) override {
    ApplyLabelFont(box_, font);
    box_->Fit();
    box_->redraw();
  }

 private:
  void Activated() override {}
  LabelBox* box_;
};

class TrackBarControl : public FltkControl {
 public:
  TrackBarControl(Control& c, TickSlider* s) : FltkControl(c, s), slider_(s) { s->when(FL_WHEN_CHANGED); }
  void SetRange(int min, int max) override {
    slider_->bounds(min, max);
    slider_->redraw();
  }
  void SetPosition(int position) override { slider_->value(position); }

 private:
  void Activated() override { control_.NativePositionChanged(static_cast<int>(slider_->value())); }
  TickSlider* slider_;
};

class ButtonControl : public FltkControl {
 public:
  ButtonControl(Control& c, Fl_Button* b) : FltkControl(c, b), button_(b) {}
  void SetText(const std::string& text) override { button_->copy_label(text.c_str()); }
  void SetFont(const Font& font) override {
    ApplyLabelFont(button_, font);
    button_->redraw();
  }
  void SetChecked(bool checked) override { button_->value(checked ? 1 : 0); }

 private:
  void Activated() override { control_.NativeClicked(); }
  Fl_Button* button_;
};

class EditControl : public FltkControl {
 public:
  EditControl(Control& c, Fl_Input* in) : FltkControl(c, in), input_(in) { in->when(FL_WHEN_CHANGED); }
  void SetText(const std::string& text) override { input_->value(text.c_str()); }
  void SetFont(const Font& font) override {
    input_->textfont(ToFlFont(font));
    input_->textsize(font.height);
    input_->textcolor(ToFlColour(font.colour));
  }

 private:
  void Activated() override { control_.NativeTextChanged(input_->value()); }
  Fl_Input* input_;
};

class ChoiceControl : public FltkControl {
 public:
  ChoiceControl(Control& c, Fl_Choice* ch) : FltkControl(c, ch), choice_(ch) {}
  void SetItems(const std::vector<std::string>& items, int selected) override {
    choice_->clear();
    // replace() takes the text as it is; add() would read '/' as a submenu.
    for (size_t i = 0; i < items.size(); ++i) {
      const int at = choice_->add("item");
      choice_->replace(at, items[i].c_str());
    }
    if (selected >= 0 && selected < choice_->size()) choice_->value(selected);
    choice_->redraw();
  }
  void SetFont(const Font& font) override {
    choice_->textfont(ToFlFont(font));
    choice_->textsize(font.height);
  }

 private:
  void Activated() override { control_.NativeItemChosen(choice_->value()); }
  Fl_Choice* choice_;
};

// The folder list enters a folder on a double click; the file list chooses
// a file on a single click, as the lists they stand in for do.
class ListControl : public FltkControl {
 public:
  ListControl(Control& c, ListBrowser* b, bool doubleClick) : FltkControl(c, b), browser_(b) {
    b->format_char(0);  // names are shown as they are, '@' included
    if (doubleClick) {
      b->when(FL_WHEN_NEVER);
      b->onDoubleClick = [this] { Chosen(); };
    } else {
      b->when(FL_WHEN_CHANGED);
    }
  }
  void SetItems(const std::vector<std::string>& items, int selected) override {
    browser_->clear();
    for (const auto& item : items) browser_->add(item.c_str());
    if (selected >= 0 && selected < browser_->size()) {
      browser_->select(selected + 1);
      browser_->middleline(selected + 1);
    }
  }
  void SetFont(const Font& font) override {
    browser_->textfont(ToFlFont(font));
    browser_->textsize(font.height);
  }

 private:
  void Activated() override { Chosen(); }
  void Chosen() {
    const int line = browser_->value();
    if (line > 0) control_.NativeItemChosen(line - 1);
  }
  ListBrowser* browser_;
};

std::unique_ptr<FltkControl> MakeControl(Control& c) {
  const Rect& r = c.Design().bounds;
  switch (c.Design().kind) {
    case ControlKind::Label:
      return std::make_unique<LabelControl>(c, new LabelBox(r.left, r.top, r.width, r.height));
    case ControlKind::TrackBar:
      return std::make_unique<TrackBarControl>(c, new TickSlider(r.left, r.top, r.width, r.height));
    case ControlKind::CheckBox:
      return std::make_unique<ButtonControl>(c, new LeftCheckBox(r.left, r.top, r.width, r.height));
    case ControlKind::Button:
      return std::make_unique<ButtonControl>(c, new Fl_Button(r.left, r.top, r.width, r.height));
    case ControlKind::Edit:
      return std::make_unique<EditControl>(c, new Fl_Input(r.left, r.top, r.width, r.height));
    case ControlKind::ChoiceList:
    case ControlKind::DriveList:
      return std::make_unique<ChoiceControl>(c, new Fl_Choice(r.left, r.top, r.width, std::max(r.height, 22)));
    case ControlKind::DirectoryList:
      return std::make_unique<ListControl>(c, new ListBrowser(r.left, r.top, r.width, r.height), true);
    case ControlKind::FileList:
      return std::make_unique<ListControl>(c, new ListBrowser(r.left, r.top, r.width, r.height), false);
  }
  return nullptr;
}

}  // namespace

}  // namespace fltk

std::unique_ptr<NativeControl> CreateNativeControl(Control& control) {
  Fl_Group::current(nullptr);  // widgets join their form explicitly below
  std::unique_ptr<fltk::FltkControl> native = fltk::MakeControl(control);
  Fl_Widget* widget = native->Widget();
  fltk::FormWindow* window = fltk::WindowOf(control.Owner());
  window->add(widget);
  native->SetText(control.Text());
  native->SetFont(control.GetFont());
  window->redraw();
  return native;
}

}  // namespace ui
