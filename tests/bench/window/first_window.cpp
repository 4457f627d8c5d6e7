// Times a program's first window as the X server sees it: from just before the program is
// started to the mapping of its first window of at least 100 x 100 pixels, and to the first
// drawn pixels in that window (the root is black: Xvfb -br). Optionally saves what the window
// shows once it has stood still for a while, as a binary PPM.
//
//   first_window [--shot FILE --settle MS] PROGRAM [ARGS...]
//
// Prints one line: mapped_ms=... drawn_ms=... cpu_ms=... (the processor time the program had
// used by then, all its threads). The program is then killed.

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// The window's pixels in this area, 32 bits each; empty when they cannot be read.
std::vector<std::uint32_t> Pixels(xcb_connection_t* connection, xcb_window_t window, int x, int y,
                                  int width, int height)
{
    Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, std::int16_t(x),
                      std::int16_t(y), std::uint16_t(width), std::uint16_t(height), ~0u),
        nullptr));
    if (!image || xcb_get_image_data_length(image.get()) < width * height * 4)
        return {};
    const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
    return std::vector<std::uint32_t>(data, data + width * height);
}

bool SaveShot(const char* path, const std::vector<std::uint32_t>& pixels, int width, int height)
{
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (const std::uint32_t pixel : pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                      static_cast<unsigned char>(pixel >> 8),
                                      static_cast<unsigned char>(pixel)};
        std::fwrite(rgb, 1, 3, file);
    }
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* shot = nullptr;
    int settleMs = 0;
    int first = 1;
    for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; first += 2) {
        if (first + 1 >= argc)
            break;
        if (std::strcmp(argv[first], "--shot") == 0)
            shot = argv[first + 1];
        else if (std::strcmp(argv[first], "--settle") == 0)
            settleMs = std::atoi(argv[first + 1]);
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: first_window [--shot FILE --settle MS] PROGRAM [ARGS...]\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "first_window: no X display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    const Clock::time_point start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[first], argv + first);
        ::_exit(127);
    }
    if (child < 0)
        return 1;

    double mappedMs = -1, drawnMs = -1;
    xcb_window_t window = XCB_NONE;
    int width = 0, height = 0;
    const int fd = xcb_get_file_descriptor(connection);
    while (window == XCB_NONE && Since(start) < 30000) {
        pollfd wait{fd, POLLIN, 0};
        ::poll(&wait, 1, 100);
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection)}) {
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY || window != XCB_NONE)
                continue;
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
            Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(
                connection, xcb_get_geometry(connection, map->window), nullptr));
            if (geometry && geometry->width >= 100 && geometry->height >= 100) {
                mappedMs = Since(start);
                window = map->window;
                width = geometry->width;
                height = geometry->height;
            }
        }
        if (xcb_connection_has_error(connection))
            break;
    }
    // The first drawing lands in one piece; its middle is enough to see it.
    const int side = 32;
    while (window != XCB_NONE && Since(start) < 30000) {
        const auto pixels =
            Pixels(connection, window, width / 2 - side / 2, height / 2 - side / 2, side, side);
        bool drawn = false;
        for (const std::uint32_t pixel : pixels)
            drawn |= (pixel & 0xFFFFFF) != 0;
        if (drawn) {
            drawnMs = Since(start);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    int status = 0;
    if (shot && drawnMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        const auto pixels = Pixels(connection, window, 0, 0, width, height);
        if (pixels.empty() || !SaveShot(shot, pixels, width, height))
            status = 1;
    }
    // At once, so that its processor time is its start's.
    ::kill(child, SIGKILL);
    rusage used{};
    ::wait4(child, nullptr, 0, &used);
    const double cpuMs = (used.ru_utime.tv_sec + used.ru_stime.tv_sec) * 1000.0 +
                         (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1000.0;
    std::printf("mapped_ms=%.1f drawn_ms=%.1f cpu_ms=%.1f\n", mappedMs, drawnMs, cpuMs);
    xcb_disconnect(connection);
    return drawnMs < 0 ? 1 : status;
}
