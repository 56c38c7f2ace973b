// The tests' main: GoogleTest's own, except that failures and skips are
// printed without OutputDebugString. That call raises a debug exception, and
// 32-bit Wine running under the i386 user-mode emulator cannot unwind it: the
// whole test program died at the first skip or failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

// Hands every event to GoogleTest's printer but prints test part results itself.
class StdoutOnlyPrinter : public ::testing::TestEventListener {
public:
    explicit StdoutOnlyPrinter(::testing::TestEventListener* printer) : printer_(printer) {}

    void OnTestProgramStart(const ::testing::UnitTest& test) override { printer_->OnTestProgramStart(test); }
    void OnTestIterationStart(const ::testing::UnitTest& test, int iteration) override {
        printer_->OnTestIterationStart(test, iteration);
    }
    void OnEnvironmentsSetUpStart(const ::testing::UnitTest& test) override {
        printer_->OnEnvironmentsSetUpStart(test);
    }
    void OnEnvironmentsSetUpEnd(const ::testing::UnitTest& test) override { printer_->OnEnvironmentsSetUpEnd(test); }
    void OnTestSuiteStart(const ::testing::TestSuite& suite) override { printer_->OnTestSuiteStart(suite); }
    void OnTestStart(const ::testing::TestInfo& info) override { printer_->OnTestStart(info); }
    void OnTestDisabled(const ::testing::TestInfo& info) override { printer_->OnTestDisabled(info); }
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (result.type() == ::testing::TestPartResult::kSuccess) return;
        const char* kind = result.type() == ::testing::TestPartResult::kSkip ? "Skipped" : "Failure";
        std::printf("%s %s\n%s\n", ::testing::internal::FormatFileLocation(result.file_name(), result.line_number()).c_str(),
                    kind, result.message());
        std::fflush(stdout);
    }
    void OnTestEnd(const ::testing::TestInfo& info) override { printer_->OnTestEnd(info); }
    void OnTestSuiteEnd(const ::testing::TestSuite& suite) override { printer_->OnTestSuiteEnd(suite); }
    void OnEnvironmentsTearDownStart(const ::testing::UnitTest& test) override {
        printer_->OnEnvironmentsTearDownStart(test);
    }
    void OnEnvironmentsTearDownEnd(const ::testing::UnitTest& test) override {
        printer_->OnEnvironmentsTearDownEnd(test);
    }
    void OnTestIterationEnd(const ::testing::UnitTest& test, int iteration) override {
        printer_->OnTestIterationEnd(test, iteration);
    }
    void OnTestProgramEnd(const ::testing::UnitTest& test) override { printer_->OnTestProgramEnd(test); }

private:
    std::unique_ptr<::testing::TestEventListener> printer_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    if (::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer()))
        listeners.Append(new StdoutOnlyPrinter(printer));
    return RUN_ALL_TESTS();
}
