#include "support/cli_runner.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace clarivex::test {

namespace {
// QProcess would re-encode the arguments as text; a path that is not UTF-8
// must reach the program byte for byte, so the child is spawned directly.
CliResult spawnAndCollect(const QList<QByteArray> &args, const QByteArray &input, int timeoutMs)
{
    CliResult result;
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) {
        result.err = "pipe failed";
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    QByteArray program = CLARIVEX_CLI_PATH;
    QList<QByteArray> storage = args;
    std::vector<char *> argv;
    argv.push_back(program.data());
    for (QByteArray &arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(inPipe[1]);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        result.err = "cannot start " + program;
        return result;
    }

    // Feed standard input while draining both outputs, so neither side blocks.
    qsizetype written = 0;
    int inFd = inPipe[1];
    if (input.isEmpty()) {
        ::close(inFd);
        inFd = -1;
    } else {
        ::fcntl(inFd, F_SETFL, O_NONBLOCK);
    }
    QElapsedTimer timer;
    timer.start();
    bool outOpen = true, errOpen = true;
    char buffer[65536];
    while (outOpen || errOpen) {
        pollfd fds[3] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                         {errOpen ? errPipe[0] : -1, POLLIN, 0},
                         {inFd, POLLOUT, 0}};
        int left = timeoutMs - int(timer.elapsed());
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            QByteArray command = program;
            for (const QByteArray &arg : args)
                command += ' ' + arg;
            result.err += "\nstill waiting after " + QByteArray::number(timeoutMs) + " ms for \"" +
                          command.left(200) + "\" to end; killed it";
            qWarning("%s", result.err.constData() + 1);
            break;
        }
        if (::poll(fds, 3, left) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, n);
            } else if (n == 0 || errno != EINTR) {
                (i == 0 ? outOpen : errOpen) = false;
            }
        }
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = ::write(inFd, input.constData() + written, input.size() - written);
            if (n > 0) written += n;
            if (n < 0 || written == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) ::close(inFd);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
} // namespace

CliResult runCli(const QList<QByteArray> &args, const QByteArray &input, int timeoutMs)
{
    return spawnAndCollect(args, input, timeoutMs);
}

CliResult runCli(const QStringList &args, const QByteArray &input, int timeoutMs)
{
    QList<QByteArray> encoded;
    for (const QString &arg : args)
        encoded << arg.toUtf8();
    return spawnAndCollect(encoded, input, timeoutMs);
}

} // namespace clarivex::test
