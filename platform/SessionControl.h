#pragma once

namespace tarv {

// Ending the user's work: the flags of the platform's exit call (0 log off, 1 shut down,
// 2 restart, 4 force, 8 power off, in any combination) become a request to systemd, which
// decides through logind and polkit. The commands are found through PATH and started without
// waiting; their outcome is not looked at.
//
//   restart    systemctl reboot        power off  systemctl poweroff
//   shut down  systemctl halt          log off    loginctl terminate-session <session>
//
// Restart wins over power off, which wins over shut down. Force skips the inhibitors that
// programs hold (--check-inhibitors=no); without it they are respected.
class SessionControl {
public:
    static bool exitWindows(int flags);
};

} // namespace tarv
