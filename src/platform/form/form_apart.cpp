#include "platform/form/form_apart.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/process/child_process.h"
#include "platform/process/quit_signal.h"
#include "platform/form/dialog_ids.h"
#include "platform/form/gtk_ui.h"
#include "platform/form/settings_form.h"

namespace platform {

namespace {

// The controls whose marks a procedure can read, bit i of a record's marks.
constexpr int markedIds[] = {IDOK, idFullscreen, idSize640, idSize800, idSize1024, idDepth16, idDepth32, idMusic};
constexpr int markedCount = sizeof markedIds / sizeof markedIds[0];

// One message as the child's procedure received it, and the form's end if it came.
enum RecordKind : std::uint8_t {
    recordMessage = 0,
    recordEnd = 1,        // the form ended; lParam: its result
    recordInterrupt = 2,  // a quit signal to the child ended the form; lParam: the signal
};

struct Record {
    std::uint8_t kind;
    std::uint8_t message;
    std::uint16_t marks;
    std::uint32_t pad;
    std::uint64_t wParam;
    std::int64_t lParam;
};

int ownerProcess = 0;
int reportFd = -1;
DialogProc childProc = nullptr;

bool writeRecord(const Record& r) {
    const char* p = reinterpret_cast<const char*>(&r);
    std::size_t left = sizeof r;
    while (left > 0) {
        const ssize_t n = write(reportFd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::uint16_t marksOf(const DialogForm& form) {
    std::uint16_t marks = 0;
    for (int i = 0; i < markedCount; ++i) {
        if (form.isDlgButtonChecked(markedIds[i])) marks |= static_cast<std::uint16_t>(1u << i);
    }
    return marks;
}

// In the child: reports each message with the marks the procedure is about to read.
bool reportingProc(DialogForm& form, DialogMessage message, std::uintptr_t wParam, std::intptr_t lParam) {
    writeRecord(Record{recordMessage, static_cast<std::uint8_t>(message), marksOf(form), 0, wParam, lParam});
    return childProc(form, message, wParam, lParam);
}

// In the parent: the marks as the child reported them; the procedure's own marking
// calls change them for the rest of that message only, as they would on the form.
class ReplayForm final : public DialogForm {
public:
    void setMarks(std::uint16_t marks) { marks_ = marks; }
    void checkDlgButton(int id, bool checked) override { set(id, checked); }
    void checkRadioButton(int first, int last, int id) override {
        for (int other = first; other <= last; ++other) set(other, other == id);
    }
    bool isDlgButtonChecked(int id) const override {
        const int i = index(id);
        return i >= 0 && (marks_ & (1u << i)) != 0;
    }
    void endDialog(std::intptr_t result) override {
        ended_ = true;
        result_ = result;
    }
    bool ended() const { return ended_; }
    std::intptr_t result() const { return result_; }

private:
    static int index(int id) {
        for (int i = 0; i < markedCount; ++i) {
            if (markedIds[i] == id) return i;
        }
        return -1;
    }
    void set(int id, bool checked) {
        const int i = index(id);
        if (i < 0) return;
        if (checked) {
            marks_ = static_cast<std::uint16_t>(marks_ | (1u << i));
        } else {
            marks_ = static_cast<std::uint16_t>(marks_ & ~(1u << i));
        }
    }
    std::uint16_t marks_ = 0;
    bool ended_ = false;
    std::intptr_t result_ = 0;
};

// Starts a child for `work`; -1 when none can be made. The child dies with the parent.
template <typename Work>
pid_t startChild(int& readFd, Work work) {
    const pid_t parent = getpid();
    return startPipedChild(PipeFlow::toParent, readFd, [&](int writeEnd) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        ownerProcess = static_cast<int>(parent);
        reportFd = writeEnd;
        work();
    });
}

// Reads the child's records until it closes the pipe, then reaps it (its wait status
// in `status`). A quit signal that reached only this process is passed on, so the form
// ends as it would in-process.
std::vector<Record> collect(pid_t child, int readFd, int& status) {
    std::vector<Record> records;
    Record r{};
    std::size_t have = 0;
    bool passedOn = false;
    for (;;) {
        const ssize_t n = read(readFd, reinterpret_cast<char*>(&r) + have, sizeof r - have);
        if (n < 0 && errno == EINTR) {
            if (!passedOn && quitSignalPending()) {
                kill(child, SIGTERM);
                passedOn = true;
            }
            continue;
        }
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
        if (have == sizeof r) {
            records.push_back(r);
            have = 0;
        }
    }
    close(readFd);
    status = waitForChild(child);
    return records;
}

// Why the form went away without an answer, on standard error. Not when the player
// itself was asked to end: the form then ended on its behalf.
void reportAbandoned(int status, int signal) {
    if (quitSignalPending()) return;
    if (signal == 0 && WIFSIGNALED(status)) signal = WTERMSIG(status);
    if (signal != 0) {
        std::fprintf(stderr, "settings form: its process was ended by signal %d (%s) before OK; the show does not start\n",
                     signal, strsignal(signal));
    } else {
        std::fprintf(stderr, "settings form: its process exited with status %d before OK; the show does not start\n",
                     WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    std::fflush(stderr);
}

}  // namespace

int formOwnerProcess() { return ownerProcess; }

std::intptr_t runSettingsFormApart(int templateId, DialogProc proc, std::intptr_t param) {
    if (proc == nullptr) return -1;
    int readFd = -1;
    const pid_t child = startChild(readFd, [&] {
        childProc = proc;
        const std::intptr_t result = runSettingsForm(templateId, reportingProc, param);
        if (result == -1 && quitSignalPending()) {
            writeRecord(Record{recordInterrupt, 0, 0, 0, 0, pendingQuitSignal()});
        } else {
            writeRecord(Record{recordEnd, 0, 0, 0, 0, static_cast<std::int64_t>(result)});
        }
    });
    if (child < 0) return runSettingsForm(templateId, proc, param);

    ReplayForm form;
    bool endSeen = false;
    std::intptr_t result = -1;
    int interruptSignal = 0;
    int status = 0;
    for (const Record& r : collect(child, readFd, status)) {
        if (r.kind == recordEnd || r.kind == recordInterrupt) {
            endSeen = r.kind == recordEnd;
            result = static_cast<std::intptr_t>(r.lParam);
            interruptSignal = r.kind == recordInterrupt ? static_cast<int>(r.lParam) : 0;
            break;
        }
        if (form.ended()) continue;
        form.setMarks(r.marks);
        proc(form, static_cast<DialogMessage>(r.message), static_cast<std::uintptr_t>(r.wParam),
             static_cast<std::intptr_t>(r.lParam));
    }
    // OK reached the procedure here: the choices are made, whatever became of the child.
    if (form.ended()) return form.result();
    if (endSeen) return result;  // -1 when the form could not be shown: defaults stand
    // Killed, crashed, cut off from its display, or ended by a signal of its own: no
    // choice was made, and none is made for the user.
    reportAbandoned(status, interruptSignal);
    return dialogAbandoned;
}

void showNoticeApart(const char* text, const char* caption, MessageIcon icon) {
    int readFd = -1;
    const pid_t child = startChild(readFd, [&] { showNotice(text, caption, icon); });
    if (child < 0) {
        showNotice(text, caption, icon);
        return;
    }
    int status = 0;
    collect(child, readFd, status);
}

}  // namespace platform
