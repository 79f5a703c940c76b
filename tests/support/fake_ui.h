#pragma once

#include "common/ui.h"
#include "ports/parallel_port.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ordalia::testing {

struct Shown {
    std::string text;
    std::string title;
    bool operator==(const Shown&) const = default;
};

// Records every message and answers questions and file dialogs from queues
// (OK and "cancelled" when a queue is empty).
class RecordingDialogs final : public Dialogs {
public:
    void message(std::string_view text, std::string_view title) override {
        messages.push_back({std::string(text), std::string(title)});
        if (onMessage)
            onMessage(messages.back());
    }
    bool confirm(std::string_view text, std::string_view title) override {
        questions.push_back({std::string(text), std::string(title)});
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<FileChoice> openFile(const FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (files.empty())
            return std::nullopt;
        auto choice = files.front();
        files.pop_front();
        return choice;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text);
        return out;
    }

    std::vector<Shown> messages;
    std::vector<Shown> questions;
    std::deque<bool> answers;
    std::deque<std::optional<FileChoice>> files;
    std::vector<FileDialogRequest> fileRequests;
    std::function<void(const Shown&)> onMessage;
};

class CountingEventPump final : public EventPump {
public:
    void processEvents() override {
        ++count;
        if (onPump)
            onPump();
    }
    int count = 0;
    std::function<void()> onPump;
};

class RecordingLabel final : public StatusLabel {
public:
    void setCaption(std::string_view text) override { captions.emplace_back(text); }
    void setVisible(bool visible) override {
        this->visible = visible;
        visibility.push_back(visible);
    }
    std::string caption() const { return captions.empty() ? std::string() : captions.back(); }
    std::vector<std::string> captions;
    std::vector<bool> visibility;
    bool visible = false;
};

class RecordingProgressBar final : public ProgressBar {
public:
    int value() const override { return m_value; }
    void setValue(int value) override {
        m_value = value;
        values.push_back(value);
    }
    void setVisible(bool visible) override {
        this->visible = visible;
        visibility.push_back(visible);
    }
    std::vector<int> values;
    std::vector<bool> visibility;
    bool visible = false;

private:
    int m_value = 0;
};

// Parallel port registers with a printer that is ready after `busyReads`
// status reads.
class FakeParallelPort final : public ParallelPort {
public:
    std::optional<std::uint8_t> read(std::uint16_t address) override {
        reads.push_back(address);
        if (unreachable)
            return std::nullopt;
        if (busyReads > 0) {
            --busyReads;
            return std::uint8_t{0x00};
        }
        return neverReady ? std::uint8_t{0x00} : std::uint8_t{0x80 | 0x18};
    }
    bool write(std::uint16_t address, std::uint8_t value) override {
        if (unreachable)
            return false;
        writes.push_back({address, value});
        return true;
    }
    std::string lastError() const override { return "no such device"; }
    void release() override { ++releases; }

    // Data bytes written to the data register at `base`.
    std::vector<std::uint8_t> data(std::uint16_t base) const {
        std::vector<std::uint8_t> out;
        for (const auto& [address, value] : writes)
            if (address == base)
                out.push_back(value);
        return out;
    }

    std::vector<std::uint16_t> reads;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    int busyReads = 0;
    bool neverReady = false;
    bool unreachable = false;
    int releases = 0;
};

} // namespace ordalia::testing
