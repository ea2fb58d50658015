// The window as a user who may not open a port (the test runs as root, so
// the window runs in a child process that has given up root for "nobody"):
// the port is a pseudo-terminal owned by root, mode 0620. The window leaves
// it out of its list and says so once, naming the group to join; with every
// port open to the user it shows nothing.
#include "app/TClassSimpleForm_253AA30.h"
#include "platform/Text1251.h"
#include "runtime/Startup.h"
#include "tests/platform/PtyPort.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Application.h"
#include "ui/toolkit/Control.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t nobody = 65534;

// Opens the window in a child process as `uid` and returns what its message
// boxes said and its port list, one per line.
std::string WindowAs(uid_t uid) {
    int out[2];
    if (::pipe(out) != 0) return "no pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        if (uid != ::getuid() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0))
            ::_exit(2);
        static char offscreen[] = "QT_QPA_PLATFORM=offscreen";
        putenv(offscreen);
        std::string said;
        SetMessageBoxInterceptor([&](const std::string& caption, const std::string& text) {
            said += "box: " + caption + ": " + Cp1251ToUtf8(text) + "\n";
        });
        TApplication::Instance();
        auto* schema = new TClassSimpleForm_253AA30;
        schema->MainForm->Start();
        TApplication::Instance().ProcessEvents();
        TControl* combo = schema->PortCombo->Control;
        for (int i = 0; i < combo->ItemCount(); ++i)
            said += "port: " + combo->ItemText(i) + "\n";
        [[maybe_unused]] ssize_t n = ::write(out[1], said.data(), said.size());
        ::_exit(0); // as the window closes: nothing more to check
    }
    ::close(out[1]);
    std::string said;
    char buffer[1024];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, std::size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "child failed: " + said;
}

} // namespace

TEST(AccessNotice, APortTheUserMayNotOpenIsNamedOnceWithItsGroup) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to run the window as another user";
    TPtyPort denied(241);
    // The serial group may read and write it: that group is the one to join.
    ASSERT_NE(::getgrnam("dialout"), nullptr);
    ASSERT_EQ(::chown(denied.slave.c_str(), 0, ::getgrnam("dialout")->gr_gid), 0);
    ASSERT_EQ(::chmod(denied.slave.c_str(), 0660), 0);
    struct stat st {};
    ASSERT_EQ(::stat(denied.slave.c_str(), &st), 0);
    std::string group = ::getgrgid(st.st_gid)->gr_name;

    // Other ports of the machine (a real UART's /dev/ttyS0, group dialout)
    // may be named too: one box, with this port and its group.
    std::string said = WindowAs(nobody);
    EXPECT_EQ(said.find("box: "), 0u) << said;
    EXPECT_EQ(said.find("box: ", 1), std::string::npos) << said;
    EXPECT_EQ(said.find("port: COM241"), std::string::npos) << said;
    EXPECT_NE(said.find("box: Varnomiksal bootloader: Порт"), std::string::npos) << said;
    EXPECT_NE(said.find("COM241"), std::string::npos) << said;
    EXPECT_NE(said.find(" не показан"), std::string::npos) << said;
    EXPECT_NE(said.find("\r\nДобавьте себя в группу "), std::string::npos) << said;
    EXPECT_NE(said.find(group), std::string::npos) << said;
    EXPECT_NE(said.find(" $USER) и войдите в систему заново."), std::string::npos) << said;

    // Only root may open it: no group is named, and a udev rule is the way.
    ASSERT_EQ(::chown(denied.slave.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(denied.slave.c_str(), 0600), 0);
    said = WindowAs(nobody);
    EXPECT_EQ(said.find("группу root"), std::string::npos) << said;
    EXPECT_NE(said.find("может только root: дайте доступ правилом udev"), std::string::npos)
        << said;

    // Root may open them all: the window lists the port and says nothing.
    said = WindowAs(0);
    EXPECT_EQ(said.find("box: "), std::string::npos) << said;
    EXPECT_NE(said.find("port: COM241\n"), std::string::npos) << said;
}
