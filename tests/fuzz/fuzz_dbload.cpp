// libFuzzer target for the drawing database load: any bytes end in a drawing
// or in a DbError, never in a crash, a hang or a leak; the data-control and
// the ADO routes give the same result; and the file's bytes never change.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/accessreader.h"
#include "platform/database.h"
#include "storage/drawingdb.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// A file in a private folder, made once and removed when the run ends.
std::string folder;
const std::string& FuzzFile() {
    static const std::string file = [] {
        folder = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/fuzzdb-XXXXXX");
        Check(mkdtemp(folder.data()) != nullptr);
        std::atexit([] {
            std::remove((folder + "/drawing.mdb").c_str());
            rmdir(folder.c_str());
        });
        return folder + "/drawing.mdb";
    }();
    return file;
}

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Everything a load gives, as bytes: the records, or the failure.
std::string Outcome(DbRoute route, const std::string& file) {
    std::string out;
    auto put = [&out](float v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); };
    try {
        const LoadedDrawing d = LoadDrawing(route, file);
        out = "ok:";
        for (const auto& p : d.points) put(p->pntNO), put(p->X), put(p->Y);
        out += '|';
        for (const auto& l : d.lines) put(l->ID), put(l->sp.X), put(l->sp.Y), put(l->ep.X), put(l->ep.Y), put(l->color);
    } catch (const DbError& e) {
        out = "error " + std::to_string(static_cast<int>(e.kind())) + ": " + e.what();
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Access files go to no reader here (the robustness run of the test
    // suite covers them): both routes must fail alike.
    AccessReaderSetup().program = "/nonexistent/pointline-mdbreader";
    DbReadTimeout() = std::chrono::seconds(5);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& file = FuzzFile();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        Check(static_cast<bool>(out));
    }
    const std::string viaData = Outcome(DbRoute::Data, file);
    const std::string ado = Outcome(DbRoute::Ado, file);
    Check(viaData == ado);
    Check(ReadAll(file) == bytes);
    return 0;
}
