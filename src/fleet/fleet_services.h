#pragma once

// The services a profile's operations run with where no window is: no one
// answers a dialog, no window repaints, nothing draws a label.

#include "common/ui.h"
#include "ports/parallel_port.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ordalia {

// Dialogs of a step run where no one answers: every message is kept, every
// question is answered OK (the profile is the user's confirmation), no file
// is asked for.
class KeptDialogs final : public Dialogs {
public:
    void message(std::string_view text, std::string_view) override { messages.emplace_back(text); }
    bool confirm(std::string_view, std::string_view) override { return true; }
    std::optional<FileChoice> openFile(const FileDialogRequest&) override { return std::nullopt; }
    std::vector<std::string> messages;
};

class NoParallelPort final : public ParallelPort {
public:
    std::optional<std::uint8_t> read(std::uint16_t) override { return std::nullopt; }
    bool write(std::uint16_t, std::uint8_t) override { return false; }
    std::string lastError() const override { return "no parallel port"; }
    void release() override {}
};

class NoPump final : public EventPump {
public:
    void processEvents() override {}
};

class HiddenLabel final : public StatusLabel {
public:
    void setCaption(std::string_view) override {}
    void setVisible(bool) override {}
};

class HiddenBar : public ProgressBar {
public:
    int value() const override { return m_value; }
    void setValue(int value) override { m_value = value; }
    void setVisible(bool) override {}

private:
    int m_value = 0;
};

// A copy of a profile folder in the temporary folder, removed afterwards:
// what a printer's operations (or a check) may write goes there, so no two
// printers share a file and the profile stays as it was.
class ProfileCopy {
public:
    explicit ProfileCopy(const std::filesystem::path& folder);
    ~ProfileCopy();
    ProfileCopy(const ProfileCopy&) = delete;
    ProfileCopy& operator=(const ProfileCopy&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string error; // why the copy could not be made; empty when it was

private:
    std::filesystem::path m_path;
};

} // namespace ordalia
