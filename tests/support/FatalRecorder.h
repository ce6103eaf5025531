// Watches the fatal path from inside a death test. The child process (the one that runs the
// statement and ends) records each message box, the shutdown sequence and the exit code in a
// file named after the test; the parent reads that file after the child has ended.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <source_location>
#include <sstream>
#include <string>
#include <vector>

#include "platform/TestSeam.h"
#include "runtime/Shutdown.h"
#include "support/RecordedBox.h"

namespace quenlark::testing_support {

struct FatalRecord {
    std::vector<RecordedBox> boxes;
    bool shutdownRan = false;
    int shutdownCount = 0;
    int exitCode = -1;
};

inline std::string RecordFileName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string("fatal-") + info->test_suite_name() + "." + info->name() + ".log";
}

inline std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "x";
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// Hex with a leading 'x', so that an empty text is still one field of the record line.
inline std::string Unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 1; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline void AppendRecordLine(const std::string& line) {
    std::ofstream(RecordFileName(), std::ios::app | std::ios::binary) << line << '\n';
}

// Call first inside the death-test statement.
inline void RecordFatalPath() {
    platform::SetMessageBoxHook([](void*, const char* text, const char* caption, unsigned flags) {
        AppendRecordLine("box " + Hex(caption ? caption : "") + " " + Hex(text ? text : "") + " " +
                         std::to_string(flags));
        return 1;  // IDOK: the user closed the box
    });
    SetShutdownHook([]() noexcept { AppendRecordLine("shutdown"); });
    platform::SetExitHook([](unsigned code) { AppendRecordLine("exit " + std::to_string(code)); });
}

// In the parent: forget what an earlier run left behind.
inline void ClearFatalRecord() { std::remove(RecordFileName().c_str()); }

// In the parent, after the death test: what the child recorded.
inline FatalRecord ReadFatalRecord() {
    FatalRecord record;
    std::ifstream in(RecordFileName(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "box") {
            std::string caption, text;
            RecordedBox box;
            fields >> caption >> text >> box.flags;
            box.caption = Unhex(caption);
            box.text = Unhex(text);
            record.boxes.push_back(box);
        } else if (kind == "shutdown") {
            record.shutdownRan = true;
            ++record.shutdownCount;
        } else if (kind == "exit") {
            fields >> record.exitCode;
        }
    }
    in.close();
    std::remove(RecordFileName().c_str());
    return record;
}

// The whole death test: runs `body` in a child that records its fatal path, expects the child
// to end with `exitCode`, and gives what it recorded. A failure names the caller's line.
template <typename Body>
FatalRecord ExpectFatalExit(int exitCode, Body&& body, std::source_location where = std::source_location::current()) {
    const ::testing::ScopedTrace trace(where.file_name(), static_cast<int>(where.line()), "fatal path run here");
    ClearFatalRecord();
    EXPECT_EXIT(
        {
            RecordFatalPath();
            body();
        },
        ::testing::ExitedWithCode(exitCode), "");
    return ReadFatalRecord();
}

}  // namespace quenlark::testing_support
