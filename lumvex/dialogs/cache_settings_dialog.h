#pragma once

// The "Cache Settings" dialog: the figures of both caches, refreshed every
// second while the user has not started editing, and the settings the user
// may change (memory quota, disc quota, disc cache folder, erasing on exit,
// prefetched AVI frames). Apply and OK apply the changes to the live caches
// and store them; an entry of a negative size is refused with a message and
// nothing is applied. A folder holding files other than the cache's own,
// or one where no file can be written, is refused with a message, when it is
// chosen and again on Apply (nothing is applied then). Errors of re-rooting
// and storing pass on.

#include "platform/gui/dialog.h"

#include <string>

namespace lumvex {

class cache_system;

class cache_settings_dialog : public CDialog {
public:
    enum : int {
        id_apply = 3,
        id_ram = 1000,
        id_memory_quota = 1001,
        id_memory_used = 1002,
        id_memory_purge = 1003,
        id_disc_root = 1004,
        id_erase = 1005,
        id_disc_purge = 1006,
        id_change_root = 1007,
        id_disc_quota = 1008,
        id_disc_used = 1009,
        id_prefetch = 1010,
        id_memory_count = 1011,
        id_disc_count = 1012,
    };
    static constexpr unsigned refresh_timer = 1;

    cache_settings_dialog(cache_system& system, CWnd* parent);

    // True while the user has touched a setting since the last fill.
    bool modified() const { return m_modified; }
    // Refills from the caches unless the user is editing (the timer's work).
    void refresh();

protected:
    void OnInitDialog() override;
    void OnCommand(int id, int code) override;
    void OnTimer(unsigned id) override;
    void OnOK() override;

private:
    void fill();
    bool apply();
    void change_root();
    void touched();

    cache_system& m_system;
    bool m_modified = false;
    // The disc cache folder that field 1004 shows: the live root after a
    // fill, the chosen folder after a choice.
    std::string m_root;
};

} // namespace lumvex
