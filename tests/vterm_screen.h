// A terminal emulator (libvterm) for the tests: bytes in, cells and cursor out.
#pragma once

#include <vterm.h>

#include <string_view>

class VtScreen {
 public:
  VtScreen(int columns, int rows) : vt_(vterm_new(rows, columns)) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    callbacks_.settermprop = &VtScreen::OnTermProp;
    vterm_screen_set_callbacks(screen_, &callbacks_, this);
    vterm_screen_reset(screen_, 1);
  }
  ~VtScreen() { vterm_free(vt_); }
  VtScreen(const VtScreen&) = delete;
  VtScreen& operator=(const VtScreen&) = delete;

  void Feed(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }

  VTermScreenCell At(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return cell;
  }

  VTermPos Cursor() const {
    VTermPos pos{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return pos;
  }
  bool CursorVisible() const { return cursorVisible_; }

 private:
  static int OnTermProp(VTermProp prop, VTermValue* value, void* user) {
    if (prop == VTERM_PROP_CURSORVISIBLE) static_cast<VtScreen*>(user)->cursorVisible_ = value->boolean;
    return 1;
  }

  VTerm* vt_;
  VTermScreen* screen_;
  VTermScreenCallbacks callbacks_{};
  bool cursorVisible_ = true;
};
