#include "schedule/script/script_interpreter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "app/document_settings.h"
#include "app/event_log.h"
#include "app/profile_file.h"
#include "app/text_helpers.h"
#include "schedule/command_line.h"
#include "actions/shell_operations.h"
#include "actions/shortcut.h"
#include "catalogue/folder_tree.h"
#include "query/query_file.h"
#include "query/query_profile.h"
#include "result/export_csv.h"
#include "result/result_data.h"
#include "result/result_file.h"
#include "result/result_printing.h"
#include "result/result_rows.h"
#include "result/run_query.h"
#include "scan/ftp/ftp_scan.h"
#include "scan/volume_scanner.h"
#include "schedule/process_launcher.h"
#include "schedule/schedule_file.h"
#include "schedule/script/script_tokens.h"

namespace korvane {

struct ScriptQueryEntry {
    std::string name;
    std::unique_ptr<QueryProfile> profile;  // the result's data points at it
    ResultDocument result;
    std::vector<std::string> files;
};

namespace {

constexpr std::size_t kScriptLineLength = 2048;
constexpr int kUnbounded = 1 << 30;

struct CommandBounds {
    const char* word;
    int min_parameters;
    int max_parameters;
};

// The parameter count each command accepts.
constexpr CommandBounds kCommands[] = {
    {"Scan", 0, kUnbounded},    {"Query", 2, 2},         {"Copy", 2, 3},       {"Move", 2, 3},
    {"Link", 2, 3},             {"Delete", 1, 1},        {"Logfile", 1, 1},    {"Export", 2, 2},
    {"print", 4, 4},            {"Command", 0, kUnbounded}, {"Compress", 0, kUnbounded},
    {"Uncompress", 0, kUnbounded}, {"RemoveDirectory", 1, 1},
};

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ScriptInterpreter::ScriptInterpreter(ProgramState& state) : state_(state) {}
ScriptInterpreter::~ScriptInterpreter() = default;

bool ScriptInterpreter::Fail(std::string text) {
    error_ = std::move(text);
    return false;
}

int ScriptInterpreter::RunScript(const std::string& script_path) {
    const std::string path =
        script_path.find('/') == std::string::npos ? state_.paths.folder + script_path : script_path;
    const std::string source = FileNameOf(path);
    const std::string& log = state_.paths.event_log_path;
    queries_.clear();

    DocumentSettings script;
    script.SelectFile(path);
    script.SelectSection("Script");
    const long lines = script.ReadInt("Lines");
    all_succeeded_ = false;
    ProfileDocument file;
    if (lines <= 0 || !file.Load(path)) {
        WriteEvent(log, source, "Error", FillTemplate("Could not open or empty script '%s'.", path));
        return 0;
    }
    bool all_succeeded = true;
    // A line that is not there is empty and succeeds: only present lines run,
    // so a huge count costs nothing.
    for (const long k : PresentLineIndices(file, lines)) {
        const std::string line = script.ReadText("ScriptLine[" + std::to_string(k) + "]", "", kScriptLineLength);
        if (!RunScriptLine(SplitScriptLine(line))) {
            all_succeeded = false;
            WriteEvent(log, source, "Error", "Error on line " + std::to_string(k + 1) + ": " + error_);
        }
    }
    all_succeeded_ = all_succeeded;
    if (all_succeeded) {
        WriteEvent(log, source, "Info",
                   FillTemplate("Success executing script %s of ", path) + std::to_string(lines) +
                       (lines == 1 ? " line." : " lines."));
    }
    queries_.clear();
    return 1;
}

bool ScriptInterpreter::RunScriptLine(const std::vector<std::string>& tokens) {
    if (tokens.empty()) return true;
    const std::string& word = tokens[0];
    if (EqualsNoCase(word, "remark") || EqualsNoCase(word, "rem")) return true;
    const std::vector<std::string> parameters(tokens.begin() + 1, tokens.end());
    const int count = static_cast<int>(parameters.size());
    for (const auto& command : kCommands) {
        if (!EqualsNoCase(word, command.word)) continue;
        if (count < command.min_parameters) return Fail("Not enough parameters");
        if (count > command.max_parameters) return Fail("Too many parameters");
        const std::string_view name = command.word;
        if (name == "Scan") return Scan(parameters);
        if (name == "Query") return Query(parameters);
        if (name == "Copy") return CopyOrMove(parameters, false);
        if (name == "Move") return CopyOrMove(parameters, true);
        if (name == "Link") return Link(parameters);
        if (name == "Delete") return Delete(parameters);
        if (name == "Logfile") return Logfile(parameters);
        if (name == "Export") return Export(parameters);
        if (name == "print") return Print(parameters);
        if (name == "Command") return Command(parameters);
        if (name == "RemoveDirectory") return RemoveDirectory(parameters);
        return true;  // Compress and Uncompress have no effect in a script
    }
    return Fail(FillTemplate("Unknown command %s.", word));
}

ScriptQueryEntry* ScriptInterpreter::FindQuery(const std::string& name) {
    for (auto& entry : queries_) {
        if (EqualsNoCase(entry.name, name)) return &entry;
    }
    return nullptr;
}

bool ScriptInterpreter::FileList(const std::string& specification, std::vector<std::string>& files) {
    files.clear();
    const std::string wanted = UnquoteParameter(specification);
    if (wanted.empty() || wanted.front() != '@') {
        files.push_back(wanted);
        return true;
    }
    const std::string name = wanted.substr(1);
    if (EndsWithNoCase(name, ".lst")) return Fail("List not impelmented.");
    if (EndsWithNoCase(name, ".rst")) return Fail("Result not impelmented.");
    const ScriptQueryEntry* entry = FindQuery(name);
    if (entry == nullptr) return Fail(FillTemplate("Query %s not found.", name));
    if (entry->files.empty()) return Fail(FillTemplate("No results found in query %s.", name));
    files = entry->files;
    return true;
}

bool ScriptInterpreter::Scan(const std::vector<std::string>& parameters) {
    if (parameters.empty()) {
        WriteEvent(state_.paths.event_log_path, "Script.exe", "Error", "Not enough parameters");
        return Fail("Not enough parameters");
    }
    // The volume list is the parameters as written, quotes included, joined by ",".
    std::string volume_list;
    for (const auto& parameter : parameters) volume_list += (volume_list.empty() ? "" : ",") + parameter;
    ScanContext context(state_.catalogue, state_.tree, state_.counters, state_.ui, state_.paths.event_log_path);
    context.ftp_scan = kScanFtpUserVolume;
    context.netware = state_.netware.get();
    if (!BuildCatalogue(context, volume_list, nullptr)) {
        // The previous catalogue is still in place; the log says why.
        return Fail(FillTemplate("Scan of %s failed: ", volume_list) + context.report.failure);
    }
    return true;
}

bool ScriptInterpreter::Query(const std::vector<std::string>& parameters) {
    const std::string name = UnquoteParameter(parameters[0]);
    const std::string initial_folder = UnquoteParameter(parameters[1]);
    if (initial_folder.empty()) return Fail(FillTemplate("Query %s has no initial folder.", name));

    ScriptQueryEntry entry;
    entry.profile = std::make_unique<QueryProfile>();
    QueryProfile& profile = *entry.profile;
    const std::string base = state_.paths.folder + name;
    if (!ReadQueryFile(profile, base + ".qry", state_.tree, false)) {
        return Fail(FillTemplate("Could not open query %s.", base + ".qry"));
    }
    if (!CheckQueryShape(profile)) return Fail(FillTemplate("Query %s is not valid.", profile.query_name));
    ReadResultFile(entry.result, base + ".rst", state_.tree);

    FolderTree& tree = state_.tree;
    std::int32_t folder_id = 0;
    if (!EqualsNoCase(initial_folder, kFolderTreeRootName)) {
        folder_id = tree.FolderIdOfPath(initial_folder);
        if (folder_id == 0) {
            return Fail(FillTemplate("Initial query folder %s not found in database.", initial_folder));
        }
    } else if (!profile.include_subfolders) {
        return Fail(FillTemplate("Include subfolders must be on with an initial query folder of '%s'.",
                                 kFolderTreeRootName));
    }
    ResultData& data = entry.result.data;
    data.result_name = profile.query_name;
    data.current_folder_id = folder_id;
    data.profile = &profile;
    QueryBuildOptions options;
    options.display_sql = false;
    // The engine's own reason when the answer could not be read at all; only
    // an answer that really is empty has no results.
    const StoredQuery& stored = state_.catalogue.stored_query();
    if (!RunQuery(&profile, data, state_.catalogue, tree, nullptr, options)) {
        const std::string& reason = stored.last_error().empty() ? state_.catalogue.last_error() : stored.last_error();
        return Fail(FillTemplate("Query %s could not run", profile.query_name) +
                    (reason.empty() ? std::string(".") : ": " + reason));
    }
    if (data.row_count == 0) {
        if (!stored.last_error().empty()) {
            return Fail(FillTemplate("Query %s could not be read: ", profile.query_name) + stored.last_error());
        }
        return Fail(FillTemplate("No results found in query %s.", profile.query_name));
    }
    if (!CollectFiles(data, initial_folder, entry.files)) {
        if (!stored.last_error().empty()) {
            return Fail(FillTemplate("Query %s could not be read: ", profile.query_name) + stored.last_error());
        }
        return Fail(FillTemplate("Query %s found only folders.", profile.query_name));
    }
    entry.name = name;
    queries_.push_back(std::move(entry));
    return true;
}

bool ScriptInterpreter::CollectFiles(const ResultData& data, const std::string& initial_folder,
                                     std::vector<std::string>& files) {
    files.clear();
    const int name_column = data.ColumnIndex("Name");
    const int parent_column = data.ColumnIndex("Parent ID");
    const int folder_column = data.ColumnIndex("Folder ID");
    ResultRows rows(state_.catalogue);
    if (!rows.Open(data.result_name)) return false;
    bool any_file = false;
    do {
        FieldValue value;
        std::int32_t folder_id = 0;
        if (folder_column >= 0 && rows.Value(folder_column, value) && value.AsInt32(folder_id) && folder_id != 0) {
            continue;  // a folder row
        }
        any_file = true;
        std::string name;
        if (name_column < 0 || !rows.Value(name_column, value) || !value.AsText(name)) continue;
        std::string folder = initial_folder;
        std::int32_t parent_id = 0;
        if (parent_column >= 0 && rows.Value(parent_column, value) && value.AsInt32(parent_id)) {
            state_.tree.FolderPathOfId(parent_id, folder);
        }
        files.push_back(JoinPath(folder, name));
    } while (rows.Next());
    return any_file;
}

namespace {

// "/OVERWRITE" and "/SUBFOLDER/OVERWRITE" overwrite; any other option renames on collision.
CollisionRule RuleOfOption(const std::vector<std::string>& parameters) {
    if (parameters.size() < 3) return CollisionRule::kRename;
    const std::string option = UnquoteParameter(parameters[2]);
    return (option == "/OVERWRITE" || option == "/SUBFOLDER/OVERWRITE") ? CollisionRule::kOverwrite
                                                                        : CollisionRule::kRename;
}

}  // namespace

bool ScriptInterpreter::CopyOrMove(const std::vector<std::string>& parameters, bool move) {
    std::vector<std::string> files;
    if (!FileList(parameters[0], files)) return false;
    const std::string destination = UnquoteParameter(parameters[1]);
    const CollisionRule rule = RuleOfOption(parameters);
    const ShellOperationResult result = move ? MoveFiles(files, destination, rule) : CopyFiles(files, destination, rule);
    if (result.AllSucceeded()) return true;
    return Fail(std::string(move ? "Could not move to " : "Could not copy to ") + destination + ": " +
                result.FirstError());
}

bool ScriptInterpreter::Link(const std::vector<std::string>& parameters) {
    std::vector<std::string> files;
    if (!FileList(parameters[0], files)) return false;
    const std::string destination = UnquoteParameter(parameters[1]);
    const ShellOperationResult result = MoveFiles(files, destination, CollisionRule::kOverwrite);
    std::string first_error = result.FirstError();
    for (const auto& item : result.items) {
        if (!item.ok()) continue;
        // The shortcut keeps the old full name, extension included: report.doc.lnk.
        if (!CreateShortcut(item.source, "Moved by Korvane...", item.target) && first_error.empty()) {
            first_error = "could not create the shortcut " + item.source + ".lnk";
        }
    }
    if (first_error.empty()) return true;
    return Fail("Could not link to " + destination + ": " + first_error);
}

bool ScriptInterpreter::Delete(const std::vector<std::string>& parameters) {
    std::vector<std::string> files;
    if (!FileList(parameters[0], files)) return false;
    const ShellOperationResult result = DeleteToTrash(files);
    if (result.AllSucceeded()) return true;
    return Fail("Could not move to the trash: " + result.FirstError());
}

bool ScriptInterpreter::Export(const std::vector<std::string>& parameters) {
    const std::string name = UnquoteParameter(parameters[0]).substr(1);
    ScriptQueryEntry* entry = FindQuery(name);
    if (entry == nullptr) return Fail(FillTemplate("Query %s not found.", name));
    const std::string path = UnquoteParameter(parameters[1]);
    if (!ExportCsv(entry->result.data, path, state_.catalogue, state_.tree, nullptr)) {
        return Fail(FillTemplate("Couldn't export result to %s.", path));
    }
    return true;
}

bool ScriptInterpreter::Print(const std::vector<std::string>& parameters) {
    const std::string name = UnquoteParameter(parameters[0]).substr(1);
    ScriptQueryEntry* entry = FindQuery(name);
    if (entry == nullptr) return Fail(FillTemplate("Query %s not found.", name));
    if (state_.printer == nullptr) return Fail("This build of Korvane cannot print.");
    entry->result.display_mode = kDisplayReport;
    std::string error;
    if (!state_.printer->PrintResult(entry->result, name, UnquoteParameter(parameters[1]),
                                     UnquoteParameter(parameters[2]), UnquoteParameter(parameters[3]),
                                     state_.catalogue, state_.tree, error)) {
        return Fail(error);
    }
    return true;
}

bool ScriptInterpreter::Logfile(const std::vector<std::string>& parameters) {
    std::vector<std::string> files;
    const bool listed = FileList(parameters[0], files);
    if (state_.paths.folder.empty() || state_.paths.folder == "/") return Fail("No installation folder for the log file.");
    const std::string name = UnquoteParameter(parameters[0]);
    const std::string log_path = state_.paths.folder + (name.empty() ? std::string() : name.substr(1)) + ".log";
    std::ofstream out(log_path, std::ios::binary | std::ios::trunc);
    if (!out) return Fail(FillTemplate("Could not write log file %s.", log_path));
    if (listed) {
        for (const auto& file : files) out << file << "\r\n";
    }
    out.close();
    if (!out) return Fail(FillTemplate("Could not write log file %s.", log_path));
    return true;
}

bool ScriptInterpreter::Command(const std::vector<std::string>& parameters) {
    if (parameters.empty()) return Fail("Command needs a command line.");
    const std::string line = UnquoteParameter(parameters[0]);
    std::vector<std::string> words;
    std::string error;
    pid_t pid = 0;
    if (!SplitCommandLine(line, words, error) || !StartDetached(words, pid, error)) {
        return Fail(FillTemplate("Could not execute command %s.", line));
    }
    return true;
}

bool ScriptInterpreter::RemoveDirectory(const std::vector<std::string>& parameters) {
    const std::string path = UnquoteParameter(parameters[0]);
    if (::rmdir(path.c_str()) != 0) {
        return Fail("Could not remove folder " + path + ": " + std::strerror(errno) + ".");
    }
    return true;
}

int RunScript(ProgramState& state, const std::string& script_path) {
    ScriptInterpreter interpreter(state);
    return interpreter.RunScript(script_path);
}

int RunScriptForExitStatus(ProgramState& state, const std::string& script_path) {
    ScriptInterpreter interpreter(state);
    if (interpreter.RunScript(script_path) != 1) {
        return kExitScriptUnreadable;
    }
    return interpreter.all_succeeded() ? kExitSuccess : kExitLineFailed;
}

}  // namespace korvane
