#pragma once
// Genuine Access files (Jet 3, Jet 4, ACE) are read, never written, by libmdb
// in a child process, `pointline-mdbreader`, that lives beside the editor's
// program. It sends one table back as a row stream (platform/rowstream.h).
// A crash, a hang, an exit code or a broken stream of that process is a
// DbError here; nothing of it reaches the editor's own memory.
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"

struct AccessTable {
    std::vector<std::string> names;
    std::vector<bool> readable;  // false for binary, OLE and attachment columns
    std::vector<std::vector<DbValue>> rows;
};

struct AccessReaderSettings {
    // The reader program; empty: pointline-mdbreader in the running program's folder.
    std::string program;
    // A reader that sends nothing for this long is ended.
    std::chrono::milliseconds silence{30000};
    // Only for tests: makes the reader crash, hang, exit or send garbage.
    std::string testFault;
};
// Process-wide; tests change it.
AccessReaderSettings& AccessReaderSetup();

// Reads one user table, found by name without regard to case.
AccessTable ReadAccessTable(const std::string& file, const std::string& table);

// Runs a record source on an Access file: "select * from <table>", or
// "select * from <table> where <field>=?" with one parameter, where numbers
// equal to the parameter match, and texts that are wholly such a number.
AccessTable ReadAccessSource(const std::string& file, const std::string& source,
                             const std::vector<DbValue>& parameters);

// Turns a row stream into a table; anything malformed is a DbError.
AccessTable DecodeRowStream(std::string_view bytes, const std::string& table);
