// Helpers of the host tests: the contract server made as the program makes it, the host's state file,
// the machine's event records and the machine tool.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "machine/host/HostState.h"
#include "platform/internal.h"
#include "services/ContractAnswer.h"
#include "services/ContractInterface.h"
#include "tests/support/TestMachine.h"

namespace host_test {

inline constexpr HRESULT kServerFault = static_cast<HRESULT>(0x80010105u);
inline constexpr HRESULT kDisconnected = static_cast<HRESULT>(0x80010108u);

// Holds the thread inside an apartment for a test.
class CApartment {
public:
    CApartment() { EXPECT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    ~CApartment() { CoUninitialize(); }
    CApartment(const CApartment&) = delete;
    CApartment& operator=(const CApartment&) = delete;
};

// The creation of the program: CLSCTX_ALL, so made as IUnknown, run, then asked for the interface.
inline HRESULT CreateContract(IContractInterfacePtr& contract) {
    return contract.CreateInstance(CLSID_Pactbridge);
}

inline std::filesystem::path HostStateFile() {
    return platform::MachineFolder() / "host.json";
}

inline nlohmann::json ReadHostState() {
    const auto text = platform::ReadWholeFile(HostStateFile());
    return text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
}

inline void EditHostState(const std::function<void(nlohmann::json&)>& edit) {
    nlohmann::json state = ReadHostState();
    edit(state);
    ASSERT_TRUE(platform::ReplaceFileAtomically(HostStateFile(), state.dump(2)));
}

inline void WriteHostStateText(const std::string& text) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(HostStateFile(), text));
}

// The records of events.jsonl, each without its time and pid (which are checked here).
inline std::vector<nlohmann::json> RecordedEvents() {
    std::vector<nlohmann::json> events;
    std::istringstream lines(
        platform::ReadWholeFile(platform::MachineFolder() / "events.jsonl").value_or(""));
    for (std::string line; std::getline(lines, line);) {
        nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        EXPECT_TRUE(record.is_object()) << line;
        EXPECT_TRUE(record.value("time", nlohmann::json()).is_string()) << line;
        EXPECT_EQ(record.value("pid", nlohmann::json()), static_cast<int>(getpid())) << line;
        record.erase("time");
        record.erase("pid");
        events.push_back(record);
    }
    return events;
}

using KeyedTexts = std::vector<std::pair<std::string, std::string>>;

// A list of keyed elements as the program's answer finders read it from an answer.
struct AnswerList {
    bool found = false;  // the answer parsed and held the list
    bool direct = false; // the list stood in the answer itself, not in its "Data" document
    KeyedTexts entries;  // each child's attribute "key" and text ("" without text), in order
};

inline AnswerList ReadAnswerList(const _bstr_t& answer, const char* list = "SettingList",
                                 const char* child = "Setting") {
    AnswerList read;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* root = nullptr;
    const TiXmlElement* found = nullptr;
    if (!LoadXmlRoot(answer, document, root) || !FindElementInAnswer(root, list, found, dataDocument)) {
        return read;
    }
    read.found = true;
    read.direct = found->GetDocument() == &document;
    for (const TiXmlElement* entry = found->FirstChildElement(child); entry;
         entry = entry->NextSiblingElement(child)) {
        const char* key = entry->Attribute("key");
        const char* text = GetElementText(entry);
        read.entries.emplace_back(key ? key : "<no key>", text ? text : "");
    }
    return read;
}

// The text of one key of a list read from an answer; "<none>" without it.
inline std::string EntryText(const AnswerList& list, const std::string& key) {
    for (const auto& [entryKey, text] : list.entries) {
        if (entryKey == key) {
            return text;
        }
    }
    return "<none>";
}

// Whether the program's finders can parse the answer at all.
inline bool Parses(const _bstr_t& answer) {
    TiXmlDocument document;
    const TiXmlElement* root = nullptr;
    return LoadXmlRoot(answer, document, root);
}

using testing_support::RunTool;
using testing_support::ToolResult;

// Contract calls made raw, each with the event it records.
using RawCalls = std::vector<std::pair<const char*, std::function<HRESULT(IContractInterface*, BSTR*)>>>;

// A failing host: every call fails with the server's fault, answers nothing, takes no null answer
// pointer and records nothing.
inline void ExpectEveryCallFails(IContractInterface* contract, const RawCalls& calls) {
    for (const auto& [event, call] : calls) {
        SCOPED_TRACE(event);
        BSTR answer = nullptr;
        EXPECT_EQ(call(contract, &answer), kServerFault);
        EXPECT_EQ(answer, nullptr);
        EXPECT_EQ(call(contract, nullptr), E_POINTER);
    }
    EXPECT_TRUE(RecordedEvents().empty());
}

// A malformed host: every call is taken and recorded (its state left out here) but answers cut short.
inline void ExpectEveryAnswerCut(IContractInterface* contract, const RawCalls& calls) {
    std::vector<nlohmann::json> expected;
    for (const auto& [event, call] : calls) {
        SCOPED_TRACE(event);
        BSTR answer = nullptr;
        EXPECT_EQ(call(contract, &answer), S_OK);
        EXPECT_FALSE(Parses(_bstr_t(answer, false)));
        expected.push_back({{"event", event}});
    }
    std::vector<nlohmann::json> recorded = RecordedEvents();
    for (nlohmann::json& record : recorded) {
        record.erase("state");
    }
    EXPECT_EQ(recorded, expected);
}

} // namespace host_test
