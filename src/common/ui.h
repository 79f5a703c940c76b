#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ordalia {

// What a core operation may do to the window. The window implements these with
// Qt widgets; tests and the command line implement them with recorders.

// Lets the window process pending events (repaint, clicks) from inside a
// long-running operation.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

// The two open-file dialogs of the window. They remember their last choice
// separately, which matters to operations that read "the file picked last".
enum class FileDialogId { CommonDialog, CommonDialog1 };

struct FileDialogRequest {
    FileDialogId dialog = FileDialogId::CommonDialog;
    std::string filter;                  // as shown, e.g. "Firmware Files(*.firm) | *.firm"
    std::filesystem::path initialFolder; // empty: wherever the dialog was last
};

struct FileChoice {
    std::filesystem::path fullPath;
    std::string name; // file name without folder
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message box with an OK button only. An empty title shows the
    // application's own title.
    virtual void message(std::string_view text, std::string_view title = {}) = 0;
    // Something the user should know that must not stop what is running (a
    // transfer that goes on while another is refused). Where nothing runs
    // meanwhile, as on the command line, it is an ordinary message.
    virtual void notice(std::string_view text) { message(text); }
    // An OK/Cancel question; true only for OK.
    virtual bool confirm(std::string_view text, std::string_view title) = 0;
    // An open-file dialog; nothing when the user cancels.
    virtual std::optional<FileChoice> openFile(const FileDialogRequest& request) = 0;
    // Which device an operation opened ("COM 1 (/dev/ttyUSB0)"), said where
    // nothing else shows it: the command line writes it on standard error,
    // where the window shows it beside the port list all along.
    virtual void portOpened(std::string_view port) { (void)port; }
};

// A status caption that a transfer shows while it runs.
class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    virtual void setCaption(std::string_view text) = 0;
    virtual void setVisible(bool visible) = 0;
};

// A progress bar from 0 to 100.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual int value() const = 0;
    virtual void setValue(int value) = 0;
    virtual void setVisible(bool visible) = 0;

    // One step up, never past 100.
    void step() {
        if (value() < 100)
            setValue(value() + 1);
    }
};

} // namespace ordalia
