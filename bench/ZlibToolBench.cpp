// The compression control against gzip on the same file in the same run: a file of mixed
// text and binary data, compressed with `gzip -9` and through ZLIBTOOLLib.ZlibTool at level 9
// (driven by tarv-call, as a host would drive it), then expanded with `gzip -d` and by the
// control. Each run is a process of its own, so its peak memory is that process's maximum
// resident size. Two file sizes show that the control's memory does not grow with the file.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Run {
    double seconds = 0;
    long peakKiB = 0;
};

// Runs argv (stdout to `out` when given) and measures it.
Run measure(std::vector<std::string> argv, const std::string& out = {}) {
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout); // or each child writes the parent's pending lines again
    const pid_t pid = fork();
    if (pid == 0) {
        if (!out.empty() && !freopen(out.c_str(), "wb", stdout))
            _exit(127);
        if (out.empty() && !freopen("/dev/null", "wb", stdout))
            _exit(127);
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakKiB = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", argv[0].c_str());
        std::exit(1);
    }
    return r;
}

Run best(int times, const std::vector<std::string>& argv, const std::string& out = {}) {
    Run b{1e9, 0};
    for (int i = 0; i < times; ++i) {
        const Run r = measure(argv, out);
        b.seconds = std::min(b.seconds, r.seconds);
        b.peakKiB = std::max(b.peakKiB, r.peakKiB);
    }
    return b;
}

// Invoice-like text lines with runs of random bytes between them.
void writeMixed(const std::string& path, long long size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    uint64_t x = 88172645463325252ull;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    };
    std::string chunk;
    long long written = 0;
    while (written < size) {
        chunk.clear();
        for (int i = 0; i < 2000; ++i) {
            char line[160];
            const int n = std::snprintf(
                line, sizeof line,
                "%06llu;Rossi S.p.A.;Via Roma %llu;Fattura %llu;EUR %llu,%02llu\r\n",
                (unsigned long long)(next() % 1000000), (unsigned long long)(next() % 300),
                (unsigned long long)(next() % 99999), (unsigned long long)(next() % 100000),
                (unsigned long long)(next() % 100));
            chunk.append(line, size_t(n));
            if (next() % 16 == 0)
                for (int k = int(next() % 8192) / 8; k > 0; --k) {
                    const uint64_t v = next();
                    chunk.append(reinterpret_cast<const char*>(&v), 8);
                }
        }
        const size_t take = size_t(std::min<long long>(size - written, (long long)chunk.size()));
        std::fwrite(chunk.data(), 1, take, f);
        written += (long long)take;
    }
    std::fclose(f);
}

} // namespace

int main(int argc, char** argv) {
    const long long mib = argc > 1 ? std::atoll(argv[1]) : 200;
    char dirTemplate[] = "/tmp/tarv-zlibtool-bench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    setenv("TARV_WINDIR", dir.c_str(), 1);
    unsetenv("DISPLAY");
    measure({TARV_REGSVR, TARV_ZLIBTOOL_LIB});
    std::printf("%-34s %10s %10s %12s\n", "", "seconds", "MB/s", "peak KiB");
    for (const long long size : {mib / 4, mib}) {
        const std::string src = dir + "/data.bin";
        writeMixed(src, size << 20);
        const double mb = double(size);
        auto row = [mb](const char* what, const Run& r) {
            std::printf("%-34s %10.2f %10.1f %12ld\n", what, r.seconds, mb / r.seconds, r.peakKiB);
        };
        std::printf("-- %lld MiB of mixed text and binary\n", size);
        const Run gz = best(3, {"gzip", "-9", "-c", src}, dir + "/gzip.gz");
        const Run zt =
            best(3, {TARV_CALL, "ZLIBTOOLLib.ZlibTool", "InputFile=\"" + src + "\"",
                     "OutputFile=\"" + dir + "/data.zl\"", "CompressionLevel=9", "Compress"});
        const Run gunz = best(3, {"gzip", "-d", "-c", dir + "/gzip.gz"}, dir + "/gunzip.out");
        const Run ztx =
            best(3, {TARV_CALL, "ZLIBTOOLLib.ZlibTool", "InputFile=\"" + dir + "/data.zl\"",
                     "OutputFile=\"" + dir + "/data.out\"", "Decompress"});
        measure({"cmp", src, dir + "/data.out"});
        measure({"gzip", "-t", dir + "/data.zl"});
        row("gzip -9 (compress)", gz);
        row("ZlibTool level 9 (compress)", zt);
        row("gzip -d (expand)", gunz);
        row("ZlibTool (expand)", ztx);
        std::printf("ratio compress %.2fx, expand %.2fx (gzip time / ZlibTool time)\n",
                    gz.seconds / zt.seconds, gunz.seconds / ztx.seconds);
    }
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
