#include "tools/netconfig-helper/confinement.h"

#include <cap-ng.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <memory>
#include <pwd.h>
#include <seccomp.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define KELDA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELDA_SANITIZED 1
#endif
#endif

namespace
{

constexpr std::uint64_t kKept = (1ull << CAP_NET_ADMIN) | (1ull << CAP_NET_RAW);

bool Fail(std::string& why, const std::string& text)
{
    why = text;
    return false;
}

std::uint64_t Join(std::uint32_t low, std::uint32_t high)
{
    return std::uint64_t(low) | std::uint64_t(high) << 32;
}

// Read back from the kernel, not from libcap-ng's view of what it did.
bool Verify(bool wasRoot, bool privileged, std::string& why)
{
    uid_t uids[3];
    gid_t gids[3];
    if (::getresuid(&uids[0], &uids[1], &uids[2]) != 0 ||
        ::getresgid(&gids[0], &gids[1], &gids[2]) != 0)
        return Fail(why, "cannot read the user ids back");
    if (wasRoot) {
        for (int i = 0; i < 3; ++i)
            if (uids[i] == 0 || gids[i] == 0)
                return Fail(why, "the helper still runs as root");
        if (::getgroups(0, nullptr) != 0)
            return Fail(why, "supplementary groups remain");
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return Fail(why, "cannot read the capabilities back");
    const std::uint64_t wanted = privileged ? kKept : 0;
    if (Join(data[0].effective, data[1].effective) != wanted ||
        Join(data[0].permitted, data[1].permitted) != wanted ||
        Join(data[0].inheritable, data[1].inheritable) != 0)
        return Fail(why, "capabilities other than CAP_NET_ADMIN and CAP_NET_RAW remain");
    for (int cap = 0; cap < 64; ++cap) {
        const int bounded = ::prctl(PR_CAPBSET_READ, cap, 0, 0, 0);
        if (bounded < 0)
            break; // past the kernel's last capability
        if (wasRoot && bounded != 0)
            return Fail(why, "the bounding set is not empty");
        if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_IS_SET, cap, 0, 0) > 0)
            return Fail(why, "ambient capabilities remain");
    }
    if (::prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) != 1)
        return Fail(why, "no_new_privs is not set");
    return true;
}

} // namespace

bool DropPrivileges(bool& privileged, std::string& why)
{
    privileged = false;
    if (capng_get_caps_process() != 0)
        return Fail(why, "cannot read the capabilities");
    const bool have = capng_have_capability(CAPNG_PERMITTED, CAP_NET_ADMIN) &&
                      capng_have_capability(CAPNG_PERMITTED, CAP_NET_RAW);
    uid_t real = 0, effective = 0, saved = 0;
    if (::getresuid(&real, &effective, &saved) != 0)
        return Fail(why, "cannot read the user ids");
    const bool root = real == 0 || effective == 0 || saved == 0;

    capng_clear(CAPNG_SELECT_ALL);
    if (have && capng_updatev(CAPNG_ADD, capng_type_t(CAPNG_EFFECTIVE | CAPNG_PERMITTED),
                              CAP_NET_ADMIN, CAP_NET_RAW, -1) != 0)
        return Fail(why, "cannot keep CAP_NET_ADMIN and CAP_NET_RAW");
    int result = 0;
    if (root) {
        // nobody owns no files, so a compromised helper can change none of root's.
        const passwd* nobody = ::getpwnam("nobody");
        const uid_t uid = nobody ? nobody->pw_uid : 65534;
        const gid_t gid = nobody ? nobody->pw_gid : 65534;
        if (uid == 0 || gid == 0)
            return Fail(why, "the user nobody is root");
        result = capng_change_id(
            int(uid), int(gid),
            capng_flags_t(CAPNG_DROP_SUPP_GRP | CAPNG_CLEAR_BOUNDING | CAPNG_CLEAR_AMBIENT));
    } else {
        // Started by a user: nothing to give up but what it may have been handed.
        result = capng_apply(CAPNG_SELECT_CAPS);
        if (result == 0 && ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0)
            result = -errno;
    }
    if (result != 0)
        return Fail(why,
                    "cannot give up root's user and capabilities (" + std::to_string(result) + ")");
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return Fail(why, std::string("cannot set no_new_privs: ") + std::strerror(errno));
    if (!Verify(root, have, why))
        return false;
    privileged = have;
    return true;
}

namespace
{

struct FilterDeleter {
    void operator()(void* filter) const { seccomp_release(filter); }
};

// Calls the request loop makes, through libnl, glibc and the ARP code; anything else is not
// ours. socket, openat, mmap, mprotect and write are narrowed further below.
constexpr char kAllowed[] = "read recvfrom recvmsg sendto sendmsg ppoll poll close bind "
                            "getsockname setsockopt getsockopt newfstatat fstat lseek brk munmap "
                            "mremap madvise clock_gettime gettimeofday clock_nanosleep nanosleep "
                            "getpid futex getrandom rt_sigreturn rt_sigprocmask restart_syscall "
                            "exit exit_group"
#ifdef KELDA_SANITIZED
                            // The sanitizers' runtime, read off the kernel's log of a filter that
                            // only logged: its reports (open, ioctl, readlink for the symbols) and
                            // the leak check at exit, which stops the process from a clone of it
                            // with ptrace; the vptr check, which tests whether memory can be read
                            // by writing it into a pipe.
                            " open getdents ioctl fcntl sched_yield clone getppid sigaltstack prctl"
                            " gettid rt_sigaction wait4 readlink ptrace pipe2 write"
#endif
    ;

} // namespace

bool InstallSystemCallFilter(std::string& why)
{
    std::unique_ptr<void, FilterDeleter> filter(seccomp_init(SCMP_ACT_KILL_PROCESS));
    if (!filter)
        return Fail(why, "cannot set up the system-call filter");
    void* const context = filter.get();
    int result = 0;
    for (std::string_view rest = kAllowed; !rest.empty();) {
        const auto space = rest.find(' ');
        const std::string name(rest.substr(0, space));
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        if (name.empty())
            continue;
        const int call = seccomp_syscall_resolve_name(name.c_str());
        if (call == __NR_SCMP_ERROR)
            continue; // not on this architecture
        if ((result = seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 0)) < 0)
            return Fail(why, "system-call filter: " + name + ": " + std::strerror(-result));
    }
    // Netlink for the kernel's tables, packet sockets for ARP; no other socket.
    for (const int domain : {AF_NETLINK, AF_PACKET})
        result = result < 0 ? result
                            : seccomp_rule_add(context, SCMP_ACT_ALLOW, SCMP_SYS(socket), 1,
                                               SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(domain)));
    // Reading /sys; nothing is written or created.
    result = result < 0
                 ? result
                 : seccomp_rule_add(context, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1,
                                    SCMP_A2(SCMP_CMP_MASKED_EQ, scmp_datum_t(O_ACCMODE | O_CREAT),
                                            scmp_datum_t(O_RDONLY)));
    // Memory for data, never for code.
    for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
        result = result < 0
                     ? result
                     : seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 1,
                                        SCMP_A2(SCMP_CMP_MASKED_EQ, scmp_datum_t(PROT_EXEC), 0));
    // Diagnostics before an abort still reach the wizard's standard error.
    for (const int call : {SCMP_SYS(write), SCMP_SYS(writev)})
        result = result < 0 ? result
                            : seccomp_rule_add(context, SCMP_ACT_ALLOW, call, 1,
                                               SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(STDERR_FILENO)));
    if (result < 0)
        return Fail(why, std::string("system-call filter: ") + std::strerror(-result));
    if ((result = seccomp_load(context)) < 0)
        return Fail(why, std::string("cannot install the system-call filter: ") +
                             std::strerror(-result));
    return true;
}
