#include "link/printer_twin.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace ordalia {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

struct TypeBit {
    std::uint8_t mask;
    const char* key;
};
constexpr TypeBit kTypeBits[] = {{kTypeTwoByteCharacters, "two_byte_characters"},
                                 {kTypeAutoCutter, "auto_cutter"},
                                 {kTypeDisplay, "display"}};

ordered_json byteValue(const ByteAnswer& answer) {
    return answer.state == AnswerState::Ok ? ordered_json(answer.value) : ordered_json(nullptr);
}

ordered_json textValue(const TextAnswer& answer) {
    return answer.state == AnswerState::Ok ? ordered_json(answer.text) : ordered_json(nullptr);
}

std::string hexByte(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

// The fields of one object of the document, each read into its answer; the
// first problem found is the one reported.
struct Fields {
    const json* object;
    std::string_view name; // "identity"
    std::string& problem;

    // Nothing for a field that is missing or null: the query had no answer.
    const json* find(const char* key) const {
        if (!object)
            return nullptr;
        const auto it = object->find(key);
        return it == object->end() || it->is_null() ? nullptr : &*it;
    }
    void fail(const std::string& key, const std::string& what) const {
        if (problem.empty())
            problem = "\"" + std::string(name) + "." + key + "\" " + what + ".";
    }
    void byte(const char* key, ByteAnswer& answer, bool status = false) const {
        const json* value = find(key);
        if (!value)
            return;
        if (!value->is_number_unsigned() || value->get<std::uint64_t>() > 0xFF)
            return fail(key, "is not a byte (a whole number from 0 to 255)");
        const auto b = value->get<std::uint8_t>();
        if (status && !isStatusByte(b))
            return fail(key, "is " + hexByte(b) +
                                 ", not a status byte (bits 1 and 4 set, bits 0 and 7 clear)");
        answer = {AnswerState::Ok, b};
    }
    void text(const char* key, TextAnswer& answer) const {
        const json* value = find(key);
        if (!value)
            return;
        if (!value->is_string())
            return fail(key, std::string("is a ") + value->type_name() + ", not a text");
        const auto& s = value->get_ref<const std::string&>();
        if (s.size() > kInfoTextMaxBytes)
            return fail(key, "is longer than the " + std::to_string(kInfoTextMaxBytes) +
                                 " characters a printer answers with");
        if (std::any_of(s.begin(), s.end(), [](char c) { return c < 0x20 || c > 0x7E; }))
            return fail(key, "holds a character other than printable ASCII, which a printer "
                             "does not answer with");
        answer = {AnswerState::Ok, s};
    }
};

// An object of the document: nothing when it is missing, a problem when it is
// something else.
const json* section(const json& document, const char* key, std::string& problem) {
    const auto it = document.find(key);
    if (it == document.end() || it->is_null())
        return nullptr;
    if (!it->is_object()) {
        if (problem.empty())
            problem = "\"" + std::string(key) + "\" is not an object.";
        return nullptr;
    }
    return &*it;
}

} // namespace

std::string twinJson(const PrinterInfo& info, int paperDots) {
    ordered_json typeBits = nullptr;
    if (info.type.state == AnswerState::Ok) {
        typeBits = ordered_json::object();
        for (const TypeBit& bit : kTypeBits)
            typeBits[bit.key] = (info.type.value & bit.mask) != 0;
    }
    const ordered_json document = {
        {"document", kTwinDocument},
        {"version", kTwinVersion},
        {"identity",
         {{"model_name", textValue(info.modelName)},
          {"firmware", textValue(info.firmware)},
          {"maker", textValue(info.maker)},
          {"serial_number", textValue(info.serialNumber)},
          {"model_id", byteValue(info.model)},
          {"type_id", byteValue(info.type)},
          {"type_bits", typeBits},
          {"rom_version", byteValue(info.romVersion)}}},
        {"status",
         {{"printer", byteValue(info.printer)},
          {"off_line", byteValue(info.offLine)},
          {"error", byteValue(info.error)},
          {"paper", byteValue(info.paper)}}},
        {"paper_dots", paperDots},
    };
    // Texts not from a printer may hold any bytes: those become U+FFFD
    // rather than an exception.
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

TwinRead parseTwin(std::string_view text) {
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded())
        return {std::nullopt, "it is not JSON text."};
    const auto kind = document.is_object() ? document.find("document") : document.end();
    if (!document.is_object() || kind == document.end() || !kind->is_string() ||
        kind->get_ref<const std::string&>() != kTwinDocument)
        return {std::nullopt, "it is not a printer twin (its \"document\" is not \"" +
                                  std::string(kTwinDocument) + "\")."};
    const auto version = document.find("version");
    if (version == document.end() || *version != kTwinVersion)
        return {std::nullopt, "it is a printer twin of another version than " +
                                  std::to_string(kTwinVersion) + ", which this program reads."};

    PrinterTwin twin;
    PrinterInfo& info = twin.info;
    std::string problem;
    const Fields identity{section(document, "identity", problem), "identity", problem};
    identity.text("model_name", info.modelName);
    identity.text("firmware", info.firmware);
    identity.text("maker", info.maker);
    identity.text("serial_number", info.serialNumber);
    identity.byte("model_id", info.model);
    identity.byte("type_id", info.type);
    identity.byte("rom_version", info.romVersion);
    if (const json* bits = identity.find("type_bits")) {
        const Fields typeBits{bits->is_object() ? bits : nullptr, "identity.type_bits", problem};
        if (!bits->is_object())
            identity.fail("type_bits", "is not an object");
        for (const TypeBit& bit : kTypeBits) {
            const json* value = typeBits.find(bit.key);
            if (value && !value->is_boolean())
                typeBits.fail(bit.key, "is not true or false");
            else if (value && info.type.state == AnswerState::Ok &&
                     value->get<bool>() != ((info.type.value & bit.mask) != 0))
                typeBits.fail(bit.key, "disagrees with type_id " + hexByte(info.type.value));
        }
    }
    const Fields status{section(document, "status", problem), "status", problem};
    status.byte("printer", info.printer, true);
    status.byte("off_line", info.offLine, true);
    status.byte("error", info.error, true);
    status.byte("paper", info.paper, true);

    if (const auto dots = document.find("paper_dots"); dots != document.end() && !dots->is_null()) {
        if (!dots->is_number_unsigned() || dots->get<std::uint64_t>() < 8 ||
            dots->get<std::uint64_t>() > 4096 || dots->get<std::uint64_t>() % 8 != 0) {
            if (problem.empty())
                problem = "\"paper_dots\" is not a paper width in dots (a multiple of 8 from 8 "
                          "to 4096).";
        } else {
            twin.paperDots = dots->get<int>();
        }
    }
    if (!problem.empty())
        return {std::nullopt, problem};
    return {std::move(twin), {}};
}

} // namespace ordalia
