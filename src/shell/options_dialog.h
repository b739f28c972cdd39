#pragma once
// What the options dialog does: it shows the PC options as the registry and
// the SendTo folder hold them, lets the boxes change a pending copy (with
// the options' dependencies: re-encrypting on save needs the double-click
// association, the same key needs re-encrypting), and on a confirmed OK
// makes the PC follow, one option at a time. A Win32 dialog and a test view
// show it alike.
#include "shell/pc_options.h"
#include "shell/shell_services.h"
#include "ui/message_box.h"
#include "ui/options_view.h"

namespace kestrove::shell {

using ui::OptionBox;
using ui::OptionsView;

class OptionsDialog {
 public:
  // `flags` is the program's PC options record; `boxes` are owned by the dialog.
  OptionsDialog(ShellServices& services, PcOptions& flags, OptionsView& view, ui::MessageBoxView& boxes);

  // Reads the PC's state into the flags and shows it.
  void open();
  void box_clicked(OptionBox box, bool checked);
  // The OK button: checks, asks, applies. The dialog stays open.
  void ok();

  const PcOptions& pending() const { return pending_; }

 private:
  void show(const PcOptions& options);
  void revert();
  // Options 3, 2 and 1 as pending, in that order; false after the message
  // of the first that the registry refused.
  bool apply_association_options();

  ShellServices& services_;
  PcOptions& flags_;
  OptionsView& view_;
  ui::MessageBoxView& boxes_;
  PcOptions pending_;
};

}  // namespace kestrove::shell
