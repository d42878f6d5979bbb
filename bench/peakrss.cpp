// peakrss PROGRAM [ARGUMENT...]: runs the program, its standard output thrown away, and prints
// its peak resident set in KiB (ru_maxrss from wait4); exits 1 when it fails. Linux starts a
// child's figure at the peak of the process that spawned it, as it counts the memory held before
// the exec; spawned from this small process rather than from the benchmark, the figure is the
// program's own.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ) != 0) return 1;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
