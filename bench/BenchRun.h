// Runs a program as a user would and measures it: whole-process wall time and the peak
// resident memory the kernel reports.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vexlin::bench {

struct Sample {
    double Ms;
    long PeakKb;
};

// Runs argv with standard output to /dev/null; exits when its status is above okUpTo.
inline Sample RunOnce(const std::vector<std::string>& argv, int okUpTo = 0) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) > okUpTo) {
        std::fprintf(stderr, "%s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

// The median time of several runs, with the highest peak memory among them.
inline Sample Median(const std::vector<std::string>& argv, int runs, int okUpTo = 0) {
    std::vector<Sample> samples;
    for (int i = 0; i < runs; ++i) {
        samples.push_back(RunOnce(argv, okUpTo));
    }
    std::sort(samples.begin(), samples.end(), [](auto& a, auto& b) { return a.Ms < b.Ms; });
    Sample m = samples[samples.size() / 2];
    for (const auto& s : samples) {
        m.PeakKb = std::max(m.PeakKb, s.PeakKb);
    }
    return m;
}

} // namespace vexlin::bench
