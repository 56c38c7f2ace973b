// tarnel-snapshot.exe started as a process of its own, as a script starts it:
// what it prints and the status it exits with.
#include <gtest/gtest.h>

#include "common/unique_owner.h"
#include "namespace/visible_name.h"
#include "snapshot/snapshot_format.h"
#include "snapshot_fixture.h"
#include "support/beside_program.h"
#include "support/test_namespace.h"

namespace {

// A 32-bit start under emulation takes about 45 s.
constexpr DWORD kWaitMilliseconds = 240000;

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string error;
};

// Runs the program with the arguments given, its output and errors caught in files.
ProgramRun RunProgram(const std::wstring& arguments) {
    ProgramRun run;
    const ScratchFile out("out");
    const ScratchFile error("error");
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const auto create = [&](const ScratchFile& file) {
        return OwnFileHandle(CreateFileW(file.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inherited, CREATE_ALWAYS, 0, nullptr));
    };
    {
        const UniqueWin32Handle outFile = create(out);
        const UniqueWin32Handle errorFile = create(error);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = outFile.get();
        startup.hStdError = errorFile.get();
        PROCESS_INFORMATION info{};
        const std::wstring program = WidenPath(BesideThisProgram("tarnel-snapshot.exe"));
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &info))
            return run;
        const UniqueWin32Handle process(info.hProcess);
        CloseHandle(info.hThread);
        if (WaitForSingleObject(process.get(), kWaitMilliseconds) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 99);
            return run;
        }
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        run.status = static_cast<int>(code);
    }
    run.out = out.Bytes();
    run.error = error.Bytes();
    return run;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

TEST(SnapshotConsoleTest, SavesComparesAndSaysSoByItsExitStatus) {
    ScratchDirectory scratch;
    ASSERT_TRUE(scratch.Valid());
    ASSERT_FALSE(scratch.AddEvent("Stays", true, false).empty());
    const std::wstring root = WidenPath(scratch.Path());
    ScratchFile first("console first");  // a space in the name, as a user's folder may have

    const ProgramRun saved = RunProgram(L"save " + Quoted(root) + L" " + Quoted(first.Path()));
    EXPECT_EQ(saved.status, 0) << saved.error;
    EXPECT_EQ(saved.out, "");
    EXPECT_EQ(saved.error.rfind("Saved 2 objects of " + scratch.Path() + " to ", 0), 0u) << saved.error;

    // An object whose name holds a TAB and a letter beyond ANSI: its line escapes it as the file does.
    ASSERT_TRUE(scratch.AddWide(ScratchDirectory::WideKind::Event, L"Added\u0416\t"));
    const ProgramRun changed = RunProgram(L"compare " + Quoted(first.Path()) + L" live");
    EXPECT_EQ(changed.status, 1) << changed.error;
    EXPECT_EQ(changed.out, "added\t" + EscapeText(root) + "\\Added\xD0\x96%09\t\tEvent\n");
    EXPECT_EQ(changed.error, "1 difference in " + scratch.Path() + ".\n");

    const ProgramRun same = RunProgram(L"compare " + Quoted(first.Path()) + L" " + Quoted(first.Path()) + L" " +
                                       Quoted(root));
    EXPECT_EQ(same.status, 0) << same.error;
    EXPECT_EQ(same.out, "");
    EXPECT_EQ(same.error, "No differences in " + scratch.Path() + ".\n");

    ScratchFile bad("console bad");
    bad.Write("TarnelSnapshot\t1\troot=\\\twindows=\taccount=\ttime=\tdevices=no\r\nobject\t\\\tDirectory\r\n");
    const ProgramRun refused = RunProgram(L"compare " + Quoted(bad.Path()) + L" live");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.error.find(": line 2: an object line has 7 fields"), std::string::npos) << refused.error;

    const ProgramRun misused = RunProgram(L"compare " + Quoted(first.Path()));
    EXPECT_EQ(misused.status, 2);
    EXPECT_NE(misused.error.find("usage: tarnel-snapshot save"), std::string::npos) << misused.error;
}

}  // namespace
