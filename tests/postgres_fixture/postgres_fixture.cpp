// Starts or stops the PostgreSQL server one ctest run shares:
//   korvane_postgres_fixture start|stop RECORD_FOLDER
#include <cstdio>
#include <string>

#include "support/postgres_server.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s start|stop RECORD_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string action = argv[1];
    std::string error;
    bool done = false;
    if (action == "start") {
        done = korvane::testing::StartRecordedPostgresServer(argv[2], error);
    } else if (action == "stop") {
        done = korvane::testing::StopRecordedPostgresServer(argv[2], error);
    } else {
        error = "unknown action " + action;
    }
    if (!done) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
