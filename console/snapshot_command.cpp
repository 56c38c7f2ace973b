#include "console/snapshot_command.h"

#include "common/command_line.h"
#include "common/count_text.h"
#include "namespace/visible_name.h"
#include "snapshot/snapshot_compare.h"
#include "snapshot/snapshot_save.h"

namespace {

constexpr long kStepEntries = 1000;
constexpr char kUsage[] =
    "usage: tarnel-snapshot save [--devices] <namespace path> <file>\n"
    "       tarnel-snapshot compare [--devices] <old file> <new file | live> [namespace path]\n";

int Usage(CommandOutput& output, const std::string& why) {
    output.Error("tarnel-snapshot: " + why + "\n" + kUsage);
    return kExitError;
}

int Failure(CommandOutput& output, const std::string& why) {
    output.Error("tarnel-snapshot: " + why + "\n");
    return kExitError;
}

int Save(const std::vector<std::wstring>& operands, const SnapshotOptions& options, CommandOutput& output) {
    if (operands.size() != 2) return Usage(output, "save takes a namespace path and a file");
    SnapshotFileWriter writer(operands[1]);
    SnapshotSave save;
    std::string why;
    if (!save.Start(operands[0], options, writer, why)) return Failure(output, why + "; nothing was written");
    while (save.Step(kStepEntries)) {
    }
    if (!save.Complete()) return Failure(output, save.Why() + "; " + VisiblePath(operands[1]) + " is as it was");
    std::string summary = "Saved " + FormatCount(save.Objects()) + " objects of " + VisiblePath(save.Root());
    if (save.UnreadDirectories() > 0)
        summary += " (" + FormatCount(save.UnreadDirectories()) + " directories could not be read)";
    output.Error(summary + " to " + VisiblePath(operands[1]) + ".\n");
    return kExitSame;
}

int Compare(const std::vector<std::wstring>& operands, const SnapshotOptions& options, CommandOutput& output) {
    if (operands.size() != 2 && operands.size() != 3)
        return Usage(output, "compare takes an old file, a new file or live, and a namespace path if wanted");
    SnapshotComparer comparer;
    comparer.Start({operands[0], operands[1] == L"live" ? std::wstring() : operands[1],
                    operands.size() == 3 ? operands[2] : std::wstring(), options});
    while (comparer.Step(kStepEntries)) {
    }
    if (comparer.Failed()) return Failure(output, comparer.Error());
    const SnapshotComparison& result = comparer.Result();
    for (const std::string& note : result.notes) output.Error("note: " + note + "\n");
    if (!result.shared) return Failure(output, "nothing to compare");
    for (const SnapshotDifference& difference : result.differences) {
        output.Out(std::string(ChangeKindName(difference.kind)) + '\t' + EscapeText(difference.path) + '\t' +
                   EscapeText(difference.oldValue) + '\t' + EscapeText(difference.newValue) + "\n");
    }
    const long count = static_cast<long>(result.differences.size());
    const std::string counted = count == 0   ? std::string("No differences")
                                : count == 1 ? std::string("1 difference")
                                             : FormatCount(count) + " differences";
    output.Error(counted + " in " + VisiblePath(result.scope) + ".\n");
    return count == 0 ? kExitSame : kExitDifferent;
}

}  // namespace

int RunSnapshotCommand(const std::vector<std::wstring>& arguments, CommandOutput& output) {
    if (arguments.empty()) return Usage(output, "no command");
    SnapshotOptions options;
    std::vector<std::wstring> operands;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == L"--devices")
            options.includeDevices = true;
        else
            operands.push_back(arguments[i]);
    }
    if (arguments[0] == L"save") return Save(operands, options, output);
    if (arguments[0] == L"compare") return Compare(operands, options, output);
    return Usage(output, "unknown command " + VisiblePath(arguments[0]));
}

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    const auto isSpace = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    const CommandLineStart start = SplitProgramName(line);
    std::vector<std::wstring> arguments{std::wstring(start.programName)};
    line = start.rest;
    std::size_t i = 0;
    for (;;) {
        while (i < line.size() && isSpace(line[i])) ++i;
        if (i >= line.size()) return arguments;
        std::wstring argument;
        bool quoted = false;
        while (i < line.size() && (quoted || !isSpace(line[i]))) {
            if (line[i] == L'\\') {
                std::size_t backslashes = 0;
                for (; i < line.size() && line[i] == L'\\'; ++i) ++backslashes;
                if (i < line.size() && line[i] == L'"') {
                    argument.append(backslashes / 2, L'\\');
                    if (backslashes % 2 == 1) {
                        argument += L'"';
                        ++i;
                    }
                } else {
                    argument.append(backslashes, L'\\');
                }
            } else if (line[i] == L'"') {
                // Two quotes inside quotes stand for one.
                if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
                    argument += L'"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument += line[i++];
            }
        }
        arguments.push_back(argument);
    }
}
