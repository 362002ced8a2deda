// The compression control against gzip and pigz on the same file in the same run: a tar of
// the machine's C headers and shared libraries (the mix a backup of a development machine
// holds), compressed with `gzip -9`, `pigz -9 -p 2` and through ZLIBTOOLLib.ZlibTool at level 9
// (driven by tarv-call, as a host would drive it), then expanded with `gzip -d` and by the
// control. Each run is a process of its own, so its peak memory is that process's maximum
// resident size. The three compressors take turns, three rounds, and each figure is the median
// of its three runs; the whole is done once on the machine as it is and once with two processes
// that keep both cores busy, as other programs would.
#include <csignal>
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Keeps one core busy until killed.
pid_t burner() {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        volatile uint64_t x = 1;
        for (;;)
            x = x * 6364136223846793005ull + 1;
    }
    return pid;
}

long long fileSize(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    const long long n = std::ftell(f);
    std::fclose(f);
    return n;
}

// The first `mib` MiB of a tar of the C headers and shared libraries, in name order.
void writeCorpus(const std::string& path, long long mib) {
    const std::string command =
        "cd / && find usr/include usr/lib/x86_64-linux-gnu -type f \\( -name '*.h' -o -name "
        "'*.so*' \\) 2>/dev/null | LC_ALL=C sort | tar -cf - -T - 2>/dev/null | head -c " +
        std::to_string(mib << 20) + " > '" + path + "'";
    if (std::system(command.c_str()) != 0 && fileSize(path) <= 0) {
        std::fprintf(stderr, "cannot build the corpus\n");
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    const long long mib = argc > 1 ? std::atoll(argv[1]) : 200;
    char dirTemplate[] = "/tmp/tarv-zlibtool-bench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    setenv("TARV_WINDIR", dir.c_str(), 1);
    unsetenv("DISPLAY");
    measure({TARV_REGSVR, TARV_ZLIBTOOL_LIB});
    const std::string src = dir + "/corpus.tar";
    writeCorpus(src, mib);
    const double mb = double(fileSize(src)) / 1e6;
    std::printf("%.1f MB of C headers and shared libraries\n", mb);

    struct Tool {
        const char* name;
        std::vector<std::string> argv;
        std::string out;    // standard output to this file, when set
        std::string result; // the compressed file
    };
    const std::vector<Tool> compressors = {
        {"gzip -9", {"gzip", "-9", "-c", src}, dir + "/gzip.gz", dir + "/gzip.gz"},
        {"pigz -9 -p 2", {"pigz", "-9", "-p", "2", "-c", src}, dir + "/pigz.gz", dir + "/pigz.gz"},
        {"ZlibTool level 9",
         {TARV_CALL, "ZLIBTOOLLib.ZlibTool", "InputFile=\"" + src + "\"",
          "OutputFile=\"" + dir + "/data.zl\"", "CompressionLevel=9", "Compress"},
         {},
         dir + "/data.zl"},
    };
    for (const bool busy : {false, true}) {
        std::vector<pid_t> burners;
        if (busy)
            burners = {burner(), burner()};
        std::printf("-- %s\n",
                    busy ? "two other processes keep both cores busy" : "the machine as it is");
        std::printf("%-28s %9s %9s %12s %10s %10s\n", "", "seconds", "MB/s", "bytes", "vs gzip",
                    "peak KiB");
        std::vector<std::vector<double>> times(compressors.size());
        std::vector<long> peak(compressors.size(), 0);
        for (int round = 0; round < 3; ++round)
            for (size_t i = 0; i < compressors.size(); ++i) {
                const Run r = measure(compressors[i].argv, compressors[i].out);
                times[i].push_back(r.seconds);
                peak[i] = std::max(peak[i], r.peakKiB);
            }
        const long long gzipBytes = fileSize(compressors[0].result);
        for (size_t i = 0; i < compressors.size(); ++i) {
            const double t = median(times[i]);
            const long long bytes = fileSize(compressors[i].result);
            std::printf("%-28s %9.2f %9.1f %12lld %+9.2f%% %10ld\n", compressors[i].name, t, mb / t,
                        bytes, 100.0 * double(bytes - gzipBytes) / double(gzipBytes), peak[i]);
        }
        std::printf("ZlibTool against pigz: %.2fx the speed; against gzip -9: %.2fx\n",
                    median(times[1]) / median(times[2]), median(times[0]) / median(times[2]));
        for (const pid_t pid : burners) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    std::vector<double> gunz, ztx;
    long gunzPeak = 0, ztxPeak = 0;
    for (int round = 0; round < 3; ++round) {
        const Run g = measure({"gzip", "-d", "-c", dir + "/gzip.gz"}, dir + "/gunzip.out");
        const Run z =
            measure({TARV_CALL, "ZLIBTOOLLib.ZlibTool", "InputFile=\"" + dir + "/data.zl\"",
                     "OutputFile=\"" + dir + "/data.out\"", "Decompress"});
        gunz.push_back(g.seconds);
        ztx.push_back(z.seconds);
        gunzPeak = std::max(gunzPeak, g.peakKiB);
        ztxPeak = std::max(ztxPeak, z.peakKiB);
    }
    measure({"cmp", src, dir + "/data.out"});
    measure({"gzip", "-t", dir + "/data.zl"});
    std::printf("-- expansion, the machine as it is\n");
    std::printf("%-28s %9.2f %9.1f %12s %10s %10ld\n", "gzip -d", median(gunz), mb / median(gunz),
                "", "", gunzPeak);
    std::printf("%-28s %9.2f %9.1f %12s %10s %10ld\n", "ZlibTool", median(ztx), mb / median(ztx),
                "", "", ztxPeak);
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
