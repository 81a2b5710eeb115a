// A build never loses or mixes the previous catalogue: killed at any row,
// stopped by an exception or given a folder that is not there, the catalogue
// in place stays exactly as it was, and a reader during the build sees the
// previous one. (A full disk is tried on the whole program, in the script
// tests.)
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <new>
#include <string>
#include <thread>

#include "catalogue/stored_query.h"
#include "catalogue/user_volumes.h"
#include "scan_fixture.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

// Everything a build changes, as one comparable text, read by the
// connection given.
std::string ContentsOf(OtherConnection& other) {
    std::string text;
    const char* queries[] = {
        "SELECT 'computer', \"Volume Key\", \"Folder Key\", \"File Key\" FROM \"Computer\"",
        "SELECT 'volume', \"Volume ID\", \"Folder ID\", \"Root\", \"Files\", \"Folders\" FROM \"Volume\" "
        "ORDER BY 2",
        "SELECT 'folder', \"Folder ID\", \"Name\", \"Parent ID\", \"Files\", \"Folders\", \"Size\" FROM "
        "\"Folder\" ORDER BY 2",
        "SELECT 'file', \"File ID\", \"Name\", \"Parent ID\", \"Size\", \"Compressed\" FROM \"File\" ORDER "
        "BY 2",
        "SELECT 'uv', \"UV ID\", \"Location\" FROM \"User Volumes\" ORDER BY 2",
        "SELECT 'query', \"Name\", \"SQL\" FROM \"Stored Queries\" ORDER BY 2",
    };
    for (const char* sql : queries) {
        text += other.Rows(sql);
    }
    return text;
}

// The same, read by a connection of its own.
std::string Contents(const std::string& database) {
    OtherConnection other(database);
    return ContentsOf(other);
}

class BuildSafetyTest : public OnBothEngines<ScanTest> {
  protected:
    // A complete previous catalogue of a small tree, with a user volume and
    // a stored query of the person's own.
    void SetUp() override {
        ScanTest::SetUp();
        old_ = Tree("old");
        fs::create_directories(old_ + "/keep");
        MakeFile(old_ + "/keep/a.txt", 11);
        MakeFile(old_ + "/b.txt", 22);
        ASSERT_TRUE(catalogue_.OpenCatalogueTables());
        ASSERT_TRUE(OpenUserVolumes(catalogue_));
        UserVolumeRecord volume;
        volume.location = "ftp:example.org/pub";
        ASSERT_TRUE(AddUserVolume(catalogue_, volume));
        ASSERT_TRUE(CloseUserVolumes(catalogue_));
        ASSERT_TRUE(catalogue_.CloseCatalogueTables());
        ASSERT_TRUE(catalogue_.stored_query().CreateStoredQuery("Mine"));
        ASSERT_TRUE(catalogue_.stored_query().SetStoredQuerySql("SELECT File.Name FROM File;"));
        catalogue_.stored_query().CloseStoredQuery();
        ASSERT_TRUE(Build(old_));
        previous_ = Contents(db_path_);
        ASSERT_NE(previous_.find("a.txt"), std::string::npos);

        big_ = Tree("big");
        for (int d = 0; d < 10; ++d) {
            fs::create_directories(big_ + "/d" + std::to_string(d));
            for (int f = 0; f < 60; ++f) {
                MakeFile(big_ + "/d" + std::to_string(d) + "/f" + std::to_string(f), 3);
            }
        }
    }

    void ExpectPreviousCatalogue() {
        EXPECT_EQ(Contents(db_path_), previous_);
        ASSERT_TRUE(catalogue_.IsOpen());
        std::string report;
        EXPECT_TRUE(catalogue_.IntegrityCheck(report)) << report;
        EXPECT_NE(FolderId(old_ + "/keep"), 0);
        EXPECT_EQ(counters_.next_file, 3);
    }

    std::string old_, big_, previous_;
};

// The build runs in a child process that kills itself with SIGKILL once it
// has handed the given number of rows to the writers.
TEST_P(BuildSafetyTest, AKillAtAnyRowLeavesThePreviousCatalogue) {
    for (const std::uint64_t kill_at : {1u, 7u, 100u, 450u, 609u}) {
        SCOPED_TRACE(kill_at);
        catalogue_.CloseCatalogue();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SilentUserInterface silent;
            Catalogue catalogue(silent);
            FolderTree tree;
            IdCounters counters;
            ScanContext context{catalogue, tree, counters, silent, ""};
            context.on_row = [kill_at](std::uint64_t rows) {
                if (rows == kill_at) {
                    raise(SIGKILL);
                }
            };
            catalogue.OpenCatalogue(db_path_);
            BuildCatalogue(context, big_, nullptr);
            _exit(3);  // the build has fewer rows than kill_at
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(Contents(db_path_), previous_);
        // On the server the lost connection rolled the build back.
        EXPECT_EQ(fs::exists(db_path_ + ".rebuild"), !OnServer());
        ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_));
        // What the killed build left beside the catalogue goes at the next start.
        EXPECT_FALSE(fs::exists(db_path_ + ".rebuild"));
    }
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_EQ(Read().files.size(), 600u);
    EXPECT_FALSE(fs::exists(db_path_ + ".rebuild"));
    // The person's user volume and stored query came along.
    const std::string now = Contents(db_path_);
    EXPECT_NE(now.find("uv|1|ftp:example.org/pub|"), std::string::npos) << now;
    EXPECT_NE(now.find("query|Mine|SELECT File.Name FROM File;|"), std::string::npos);
}

// An exception in the middle of a volume: no row of that volume reaches the
// catalogue in place.
TEST_P(BuildSafetyTest, AnExceptionInTheMiddleOfAVolumeWritesNoneOfIt) {
    context_.on_row = [](std::uint64_t rows) {
        if (rows == 300) {
            throw std::bad_alloc();
        }
    };
    EXPECT_FALSE(Build(old_ + "," + big_));
    EXPECT_NE(context_.report.failure.find("The scan stopped"), std::string::npos) << context_.report.failure;
    ExpectPreviousCatalogue();
    EXPECT_FALSE(fs::exists(db_path_ + ".rebuild"));
}

TEST_P(BuildSafetyTest, AFolderThatCannotBeReadKeepsThePreviousCatalogue) {
    struct Case {
        std::string list;
        std::string cause;
    };
    const Case cases[] = {
        {"\"" + trees_ + "/no such folder\"", "No such file or directory"},
        {"/" + std::string(100000, 'x'), "File name too long"},
        {"\"" + trees_ + "/missing\", \"uv: 99\"", "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list.substr(0, 80));
        EXPECT_FALSE(Build(c.list));
        EXPECT_EQ(context_.report.failure, "No volume of the list could be read.");
        ASSERT_FALSE(context_.report.warnings.empty());
        EXPECT_NE(context_.report.warnings[0].find(c.cause), std::string::npos)
            << context_.report.warnings[0];
        ExpectPreviousCatalogue();
    }
    const std::string log = ReadFileBytes(dir_ / "Event.log");
    EXPECT_NE(log.find("\"Warning\", \"Can not scan " + trees_ + "/no such folder/, error 2 (No such file"),
              std::string::npos)
        << log;
}

// Another connection reading while the build writes sees the previous
// catalogue, and the finished build afterwards.
TEST_P(BuildSafetyTest, AReaderDuringTheBuildSeesThePreviousCatalogue) {
    std::string seen;
    context_.on_row = [&](std::uint64_t rows) {
        if (rows == 400) {
            seen = Contents(db_path_);
        }
    };
    ASSERT_TRUE(Build(big_));
    EXPECT_EQ(seen, previous_);
    EXPECT_EQ(Read().files.size(), 600u);
    EXPECT_EQ(FolderId(old_ + "/keep"), 0);
    EXPECT_NE(FolderId(big_ + "/d3"), 0);
}

// A second build while one runs: the server's second build waits for the
// first to commit and says so in the event log; SQLite's is refused.
TEST_P(BuildSafetyTest, ASecondBuildWaitsForTheFirstOnTheServer) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    catalogue_.CloseCatalogue();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        SilentUserInterface silent;
        Catalogue catalogue(silent);
        FolderTree tree;
        IdCounters counters;
        ScanContext context{catalogue, tree, counters, silent, ""};
        context.on_row = [&](std::uint64_t rows) {
            if (rows == 50) {
                const char signal = 'x';
                [[maybe_unused]] const ssize_t written = ::write(ready[1], &signal, 1);
                ::usleep(1500 * 1000);
            }
        };
        catalogue.OpenCatalogue(db_path_);
        _exit(BuildCatalogue(context, big_, nullptr) ? 0 : 1);
    }
    ::close(ready[1]);
    char signal = 0;
    ASSERT_EQ(::read(ready[0], &signal, 1), 1);
    ::close(ready[0]);
    ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_)) << catalogue_.last_error();
    const bool built = Build(old_);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    if (!OnServer()) {
        EXPECT_FALSE(built);
        EXPECT_NE(context_.report.failure.find("Another build"), std::string::npos)
            << context_.report.failure;
        return;
    }
    ASSERT_TRUE(built) << context_.report.failure;
    const std::string wait = "Another build of the catalogue is running; this build waits for it to end.";
    ASSERT_FALSE(context_.report.warnings.empty());
    EXPECT_EQ(context_.report.warnings[0], wait);
    EXPECT_NE(ReadFileBytes(dir_ / "Event.log").find(wait), std::string::npos);
    // The waiting build came second: its rows are the catalogue now.
    EXPECT_EQ(Contents(db_path_), previous_);
    EXPECT_EQ(Read().files.size(), 2u);
}

// A build while a query's snapshot is open ends the snapshot first.
TEST_P(BuildSafetyTest, ABuildEndsAnOpenSnapshot) {
    StoredQuery& query = catalogue_.stored_query();
    ASSERT_TRUE(query.OpenStoredQuery("Mine")) << query.last_error();
    ASSERT_TRUE(query.OpenQuerySnapshot()) << query.last_error();
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_FALSE(query.SnapshotOpen());
    EXPECT_EQ(Read().files.size(), 600u);
}

INSTANTIATE_ON_BOTH_ENGINES(BuildSafetyTest);

// The server's connection lost in the middle of a build: the build fails
// with the server's message and the previous catalogue stays.
class ServerConnectionLoss : public BuildSafetyTest {
  protected:
    CatalogueEngine engine() const override { return CatalogueEngine::Postgres; }
};

TEST_F(ServerConnectionLoss, ALostConnectionRollsTheBuildBack) {
    const int backend = PQbackendPID(catalogue_.connection().pg->get());
    OtherConnection other(db_path_);
    context_.on_row = [&](std::uint64_t rows) {
        if (rows == 300) {
            other.Exec("SELECT pg_terminate_backend(" + std::to_string(backend) + ")");
        }
    };
    EXPECT_FALSE(Build(big_));
    EXPECT_NE(context_.report.failure.find("terminat"), std::string::npos) << context_.report.failure;
    EXPECT_EQ(Contents(db_path_), previous_);
    // The catalogue connected again and has the previous folder tree back.
    EXPECT_NE(FolderId(old_ + "/keep"), 0);
    EXPECT_EQ(counters_.next_file, 3);
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_EQ(Read().files.size(), 600u);
}

TEST_F(ServerConnectionLoss, ARefusedConnectionSaysWhy) {
    SilentUserInterface silent;
    Catalogue catalogue(silent);
    EXPECT_FALSE(catalogue.OpenCatalogue("postgresql:///korvane?host=" + trees_ + "/no-server"));
    EXPECT_FALSE(catalogue.IsOpen());
    EXPECT_NE(catalogue.last_error().find("The catalogue server could not be reached: "), std::string::npos)
        << catalogue.last_error();
    EXPECT_NE(catalogue.last_error().find("No such file or directory"), std::string::npos)
        << catalogue.last_error();
}

// On the server a build writes new tables and puts them in place of the
// previous ones at the end.
class ServerTableSwap : public BuildSafetyTest {
  protected:
    CatalogueEngine engine() const override { return CatalogueEngine::Postgres; }

    // The File table's identity: it changes when new tables take the place
    // of the previous ones, not when rows are copied into them.
    std::string FileTable() { return OtherConnection(db_path_).Rows("SELECT '\"File\"'::regclass::oid"); }

    // The tables' columns, keys, indexes, owners and privileges, and any
    // schema a build left behind.
    static std::string Definition(const std::string& database) {
        OtherConnection other(database);
        return other.Rows(
                   "SELECT table_name, column_name, data_type, collation_name FROM "
                   "information_schema.columns "
                   "WHERE table_schema = 'public' ORDER BY 1, ordinal_position") +
               other.Rows("SELECT indexdef FROM pg_indexes WHERE schemaname = 'public' ORDER BY 1") +
               other.Rows(
                   "SELECT relname, pg_get_userbyid(relowner), relacl FROM pg_class WHERE relnamespace = "
                   "'public'::regnamespace AND relkind = 'r' ORDER BY 1") +
               other.Rows(
                   "SELECT attrelid::regclass, attname, attacl FROM pg_attribute WHERE attacl IS NOT NULL "
                   "AND "
                   "attrelid::regclass::text NOT LIKE 'pg_%' ORDER BY 1, 2") +
               other.Rows("SELECT nspname FROM pg_namespace WHERE nspname LIKE 'korvane%'");
    }

    // Waits (up to 20 s) until another connection waits for a table's lock
    // (the build's swap, or a consistent read).
    bool WaitForALockWait() {
        OtherConnection watcher(db_path_);
        for (int i = 0; i < 2000; ++i) {
            if (!watcher
                     .Rows("SELECT 1 FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND pid <> "
                           "pg_backend_pid()")
                     .empty()) {
                return true;
            }
            ::usleep(10 * 1000);
        }
        return false;
    }

    // A reader in the middle of a transaction that has read File.
    static void BeginReading(OtherConnection& reader) {
        ASSERT_TRUE(reader.Exec("BEGIN ISOLATION LEVEL REPEATABLE READ"));
        ASSERT_EQ(reader.Rows("SELECT count(*) FROM \"File\""), "2|\n");
    }
};

// The swap waits for a reader that holds the previous tables; the reader
// sees only the previous catalogue until it ends, and the new tables are
// defined as a new catalogue's are.
TEST_F(ServerTableSwap, TheSwapWaitsForAReaderToEnd) {
    const std::string table_before = FileTable();
    OtherConnection reader(db_path_);
    BeginReading(reader);
    std::string seen;
    std::thread watcher([&] {
        if (WaitForALockWait()) {
            seen = ContentsOf(reader);
        }
        reader.Exec("COMMIT");
    });
    catalogue_.set_busy_timeout_ms(20000);
    const bool built = Build(big_);
    watcher.join();
    ASSERT_TRUE(built) << context_.report.failure;
    EXPECT_EQ(seen, previous_);
    EXPECT_EQ(Read().files.size(), 600u);
    EXPECT_NE(FileTable(), table_before);

    std::string error;
    const std::string fresh = FreshCatalogue(CatalogueEngine::Postgres, "", error);
    ASSERT_FALSE(fresh.empty()) << error;
    {
        SilentUserInterface silent;
        Catalogue created(silent);
        ASSERT_TRUE(created.OpenCatalogue(fresh)) << created.last_error();
    }
    const std::string definition = Definition(fresh);
    DropPostgresDatabase(fresh, error);
    EXPECT_EQ(Definition(db_path_), definition);
}

// A reader that holds on past the busy timeout is not waited for: the new
// rows are copied into the previous tables, which the reader goes on seeing
// as they were. The next build puts new tables in place again.
TEST_F(ServerTableSwap, AReaderThatHoldsOnGetsTheRowsCopiedUnderIt) {
    const std::string table_before = FileTable();
    const std::string definition = Definition(db_path_);
    OtherConnection reader(db_path_);
    BeginReading(reader);
    catalogue_.set_busy_timeout_ms(300);
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_EQ(ContentsOf(reader), previous_);
    ASSERT_TRUE(reader.Exec("COMMIT"));
    EXPECT_EQ(FileTable(), table_before);
    EXPECT_EQ(Read().files.size(), 600u);
    EXPECT_EQ(Definition(db_path_), definition);

    ASSERT_TRUE(Build(old_)) << context_.report.failure;
    EXPECT_NE(FileTable(), table_before);
    EXPECT_EQ(Contents(db_path_), previous_);
    EXPECT_EQ(Definition(db_path_), definition);
}

// A build killed while its swap waits for a reader leaves the previous
// catalogue, and nothing of the new tables.
TEST_F(ServerTableSwap, AKillWhileTheSwapWaitsLeavesThePreviousCatalogue) {
    const std::string definition = Definition(db_path_);
    OtherConnection reader(db_path_);
    BeginReading(reader);
    catalogue_.CloseCatalogue();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SilentUserInterface silent;
        Catalogue catalogue(silent);
        catalogue.set_busy_timeout_ms(60000);
        FolderTree tree;
        IdCounters counters;
        ScanContext context{catalogue, tree, counters, silent, ""};
        catalogue.OpenCatalogue(db_path_);
        _exit(BuildCatalogue(context, big_, nullptr) ? 0 : 1);
    }
    const bool waited = WaitForALockWait();
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(waited);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    ASSERT_TRUE(reader.Exec("COMMIT"));
    EXPECT_EQ(Contents(db_path_), previous_);
    EXPECT_EQ(Definition(db_path_), definition);
    ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_));
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_EQ(Read().files.size(), 600u);
}

// What an administrator gave the tables stays: their owner and privileges
// go to the new tables; a view of theirs over File, which the previous
// table cannot be dropped from under, gets the new rows copied in; an index
// of theirs keeps the tables in place.
TEST_F(ServerTableSwap, AnAdministratorsOwnerPrivilegesAndViewsStay) {
    OtherConnection admin(db_path_);
    for (const char* role : {"korvane_test_owner", "korvane_test_reader"}) {
        ASSERT_TRUE(admin.Exec(std::string("DO $$ BEGIN CREATE ROLE ") + role +
                               "; EXCEPTION WHEN duplicate_object THEN NULL; END $$"));
    }
    ASSERT_TRUE(admin.Exec(
        "ALTER TABLE \"Folder\" OWNER TO korvane_test_owner; GRANT SELECT ON \"File\", \"Folder\" TO "
        "korvane_test_reader; GRANT UPDATE (\"Name\") ON \"File\" TO korvane_test_reader; GRANT SELECT ON "
        "\"Volume\" TO PUBLIC"));
    const std::string definition = Definition(db_path_);
    const std::string table_before = FileTable();
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_NE(FileTable(), table_before);
    EXPECT_EQ(Definition(db_path_), definition);

    ASSERT_TRUE(admin.Exec("CREATE VIEW \"Big Files\" AS SELECT \"Name\" FROM \"File\" WHERE \"Size\" > 2"));
    const std::string table_with_view = FileTable();
    ASSERT_TRUE(Build(old_)) << context_.report.failure;
    EXPECT_EQ(FileTable(), table_with_view);
    EXPECT_EQ(Contents(db_path_), previous_);
    EXPECT_EQ(admin.Rows("SELECT * FROM \"Big Files\""), "b.txt|\na.txt|\n");

    // An index of theirs, which new tables would not have: the tables are
    // refilled in place.
    ASSERT_TRUE(admin.Exec("DROP VIEW \"Big Files\"; CREATE INDEX \"Files by Name\" ON \"File\" (\"Name\")"));
    const std::string with_index = Definition(db_path_);
    const std::string table_with_index = FileTable();
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_EQ(FileTable(), table_with_index);
    EXPECT_EQ(Definition(db_path_), with_index);
    EXPECT_EQ(Read().files.size(), 600u);
}

// A role that may change the rows but does not own the tables cannot put
// new tables in their place: its build empties and refills them.
TEST_F(ServerTableSwap, ABuilderThatDoesNotOwnTheTablesRefillsThemInPlace) {
    OtherConnection admin(db_path_);
    ASSERT_TRUE(
        admin.Exec("DO $$ BEGIN CREATE ROLE korvane_test_builder LOGIN; EXCEPTION WHEN duplicate_object THEN "
                   "NULL; END $$"));
    ASSERT_TRUE(admin.Exec(
        "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO korvane_test_builder; GRANT "
        "USAGE ON ALL SEQUENCES IN SCHEMA public TO korvane_test_builder"));
    const std::string table_before = FileTable();
    std::string builder = db_path_;
    ASSERT_NE(builder.find("postgres@"), std::string::npos) << builder;
    builder.replace(builder.find("postgres@"), 9, "korvane_test_builder@");
    ASSERT_TRUE(catalogue_.OpenCatalogue(builder)) << catalogue_.last_error();
    ASSERT_TRUE(Build(big_)) << context_.report.failure;
    EXPECT_EQ(FileTable(), table_before);
    EXPECT_EQ(Read().files.size(), 600u);
    EXPECT_EQ(Contents(db_path_).find("a.txt"), std::string::npos);
}

// A consistent read that has to wait for a swap of the tables reads the new
// tables' rows once the swap commits, not the new tables through a snapshot
// older than them (which would find them empty).
TEST_F(ServerTableSwap, AConsistentReadThatWaitsForASwapSeesTheNewTables) {
    // What a build's swap does, held open: Folder replaced by a new table
    // holding the same rows.
    OtherConnection swapper(db_path_);
    ASSERT_TRUE(swapper.Exec(
        "BEGIN; LOCK TABLE \"Computer\", \"Volume\", \"Folder\", \"File\" IN ACCESS EXCLUSIVE MODE; ALTER "
        "TABLE \"Folder\" RENAME TO \"Old Folder\"; CREATE TABLE \"Folder\" (LIKE \"Old Folder\" INCLUDING "
        "ALL); "
        "INSERT INTO \"Folder\" SELECT * FROM \"Old Folder\"; DROP TABLE \"Old Folder\""));
    tree_.FreeFolderTree();
    bool loaded = false;
    std::thread reader([&] { loaded = tree_.LoadFolderTree(catalogue_); });
    const bool waited = WaitForALockWait();
    ASSERT_TRUE(swapper.Exec("COMMIT"));
    reader.join();
    ASSERT_TRUE(waited);
    ASSERT_TRUE(loaded);
    EXPECT_NE(FolderId(old_ + "/keep"), 0);
}

}  // namespace
}  // namespace korvane::testing
