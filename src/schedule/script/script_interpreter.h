// Runs a schedule file's script unattended: every line in order, each outcome
// written to Event.log under the script's file name, no window at any point.
#pragma once

#include <string>
#include <vector>

#include "program/program_state.h"
#include "program/start_program.h"
#include "result/result_data.h"

namespace korvane {

struct ScriptQueryEntry;

class ScriptInterpreter {
public:
    explicit ScriptInterpreter(ProgramState& state);
    ~ScriptInterpreter();
    ScriptInterpreter(const ScriptInterpreter&) = delete;
    ScriptInterpreter& operator=(const ScriptInterpreter&) = delete;

    // 1 when the script ran (whatever its lines' outcomes), 0 when it was
    // empty or could not be read. A path without "/" is taken from the
    // installation folder.
    int RunScript(const std::string& script_path);
    // Runs one tokenized line; on failure error_text() says why.
    bool RunScriptLine(const std::vector<std::string>& tokens);
    const std::string& error_text() const { return error_; }
    // True when the last RunScript ran every line successfully.
    bool all_succeeded() const { return all_succeeded_; }

private:
    bool Fail(std::string text);
    bool Scan(const std::vector<std::string>& parameters);
    bool Query(const std::vector<std::string>& parameters);
    bool CopyOrMove(const std::vector<std::string>& parameters, bool move);
    bool Link(const std::vector<std::string>& parameters);
    bool Delete(const std::vector<std::string>& parameters);
    bool Logfile(const std::vector<std::string>& parameters);
    bool Export(const std::vector<std::string>& parameters);
    bool Print(const std::vector<std::string>& parameters);
    bool Command(const std::vector<std::string>& parameters);
    bool RemoveDirectory(const std::vector<std::string>& parameters);
    // The files a Copy, Move, Link, Delete or Logfile names: "@query" or a single path.
    bool FileList(const std::string& specification, std::vector<std::string>& files);
    // The full paths of the answer's file rows, in row order; false when it has none.
    bool CollectFiles(const ResultData& data, const std::string& initial_folder, std::vector<std::string>& files);
    ScriptQueryEntry* FindQuery(const std::string& name);

    ProgramState& state_;
    std::vector<ScriptQueryEntry> queries_;
    std::string error_;
    bool all_succeeded_ = false;
};

// Runs the script with a fresh interpreter; RunScript's result.
int RunScript(ProgramState& state, const std::string& script_path);
// The start-up's entry: runs the script with a fresh interpreter and gives
// the run's exit status (kExitSuccess, kExitLineFailed or
// kExitScriptUnreadable).
int RunScriptForExitStatus(ProgramState& state, const std::string& script_path);

}  // namespace korvane
