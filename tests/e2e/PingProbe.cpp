// Asks an X client's window every INTERVAL ms, for SECONDS, whether it answers: the
// window manager's ping (_NET_WM_PING), which the client's window thread returns to the
// root window. It stands in for the window manager, so none may run. Prints the number of pings and the longest and mean round trips; a ping
// still unanswered at the end counts with its age. Exit code 0 when every round trip
// took at most LIMIT ms.
//
// Usage: sorvel_ping_probe WINDOW SECONDS INTERVAL_MS LIMIT_MS

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s WINDOW SECONDS INTERVAL_MS LIMIT_MS\n", argv[0]);
        return 2;
    }
    const xcb_window_t window = static_cast<xcb_window_t>(std::stoul(argv[1], nullptr, 0));
    const auto duration = std::chrono::duration<double>(std::stod(argv[2]));
    const auto interval = std::chrono::milliseconds(std::stoi(argv[3]));
    const double limitMs = std::stod(argv[4]);

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(c, "_NET_WM_PING");
    // Qt sends the answer to the root window for the client that redirects its
    // children, the window manager's place: there must be no window manager running.
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t* error
        = xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask));
    if (error) {
        std::free(error);
        std::fprintf(stderr, "another client redirects the root window (a window manager?)\n");
        return 2;
    }

    std::map<std::uint32_t, Clock::time_point> waiting;
    double longest = 0;
    double longestAt = 0;  // seconds from the start at which the longest ping was sent
    double total = 0;
    int answered = 0;
    std::uint32_t next = 1;
    const auto start = Clock::now();
    auto due = start;
    const auto end = start + std::chrono::duration_cast<Clock::duration>(duration);
    const auto drainUntil = end + std::chrono::seconds(10);
    for (;;) {
        const auto now = Clock::now();
        if (now >= end && waiting.empty())
            break;
        if (now >= drainUntil)
            break;
        if (now < end && now >= due) {
            xcb_client_message_event_t event {};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = window;
            event.type = protocols;
            event.data.data32[0] = ping;
            event.data.data32[1] = next;
            event.data.data32[2] = window;
            xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
            xcb_flush(c);
            waiting[next++] = now;
            due += interval;
        }
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(std::max(due - Clock::now(), Clock::duration(0)));
        ::poll(&fd, 1, static_cast<int>(std::min<long long>(wait.count(), 10)));
        while (xcb_generic_event_t* generic = xcb_poll_for_event(c)) {
            if ((generic->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
                const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(generic);
                if (message->type == protocols && message->data.data32[0] == ping) {
                    const auto found = waiting.find(message->data.data32[1]);
                    if (found != waiting.end()) {
                        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - found->second).count();
                        if (ms > longest) {
                            longest = ms;
                            longestAt = std::chrono::duration<double>(found->second - start).count();
                        }
                        total += ms;
                        ++answered;
                        waiting.erase(found);
                    }
                }
            }
            std::free(generic);
        }
        if (xcb_connection_has_error(c))
            break;
    }
    for (const auto& [id, sent] : waiting)
        longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    std::printf("pings %u, answered %d, longest %.1f ms (sent at %.2f s), mean %.1f ms\n", next - 1, answered, longest,
                longestAt, answered ? total / answered : 0.0);
    xcb_disconnect(c);
    return waiting.empty() && answered > 0 && longest <= limitMs ? 0 : 1;
}
