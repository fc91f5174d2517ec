// SPDX-License-Identifier: GPL-3.0-or-later
// The word list handlers: the default list, the user list, Restore,
// Shuffle and "Phonemes On", and the wiring of the engine's controls.
#include "ecm/default_words.h"
#include "ecm/phoneme_table.h"
#include "ecm/word_engine.h"
#include "ecm/word_list_ops.h"
#include "support/textfile.h"

#include <system_error>
#include <utility>

namespace kestle::ecm {

namespace fs = std::filesystem;

namespace {

// The result a worker's task owes the scheduler: delivered once, by the
// task, or empty when the worker drops the task unrun at its end.
class OwedResult {
  public:
    explicit OwedResult(Scheduler& s) : sched_(&s) {}
    OwedResult(const OwedResult&) = delete;
    OwedResult& operator=(const OwedResult&) = delete;
    ~OwedResult() {
        if (sched_)
            sched_->postResult([] {});
    }
    void deliver(std::function<void()> fn) {
        std::exchange(sched_, nullptr)->postResult(std::move(fn));
    }

  private:
    Scheduler* sched_;
};

} // namespace

WordEngine::WordEngine(Scheduler& sched, forms::MainForm& f, forms::MainState& st,
                       forms::UiHost& host, device::Acquisition& acq, Rnd& rnd, Speech& speech,
                       std::filesystem::path userListPath)
    : sched_(sched), f_(f), st_(st), host_(host), acq_(acq), rnd_(rnd), speech_(speech),
      userListPath_(std::move(userListPath)) {
    f_.usr->onClick = [this] { usr_Click(); };
    f_.lcontrol[0]->onClick = [this] { lcontrol_Click(0); };
    f_.lcontrol[1]->onClick = [this] { lcontrol_Click(1); };
    f_.phoneon->onClick = [this] { phoneon_Click(); };
    f_.phbrake->onClick = [this] { phbrake_Click(); };
    f_.HSPh->onClick = [this] { HSPh_Click(); };
    f_.tsphone->onClick = [this] { tsphone_Click(); };
    f_.rsphone->onClick = [this] { rsphone_Click(); };
    f_.speechON->onClick = [this] { speechON_Click(); };
    f_.Text1->onChange = [this] { Text1_Change(); };
}

void WordEngine::loadlist() {
    f_.List1->setColor(forms::kLightGrey);
    st_.usword = 0;
    for (const std::string& e : defaultWordList())
        f_.List1->addItem(e);
}

void WordEngine::userlist() {
    f_.List1->clear();
    const unsigned change = ++listChange_;
    // The file may be anything (a FIFO, a huge file, a slow disk): it is read
    // and parsed away from the window thread, and whole before anything is
    // appended, so a failure leaves no partial list in front of the default
    // entries.
    if (!reader_)
        reader_ = std::make_unique<WorkerThread>();
    sched_.expectResult();
    auto apply = life_.guard([this, change](const UserListRead& read) {
        if (change == listChange_)
            userlistRead(read);
    });
    reader_->post([owed = std::make_shared<OwedResult>(sched_), apply, path = userListPath_] {
        auto read = std::make_shared<UserListRead>();
        if (auto bytes = readFileBytes(path, kMaxUserListBytes)) {
            read->entries = parseUserList(*bytes);
        } else {
            std::error_code ec;
            read->missing = fs::symlink_status(path, ec).type() == fs::file_type::not_found;
            read->entries = Error{bytes.error()};
        }
        owed->deliver([apply, read]() mutable { apply(*read); });
    });
}

void WordEngine::userlistRead(const UserListRead& read) {
    if (!read.entries) {
        // A missing file gets the familiar message; anything else says why.
        const std::string first = read.missing
                                      ? " User List not found"
                                      : " User List could not be read: " + read.entries.error();
        const std::string text = first + "\r\nMust have a file name " + userListPath_.string() +
                                 "\r\nDefault system list will now re-load";
        host_.messageBox(forms::kAppTitle, text, [this] { loadlist(); });
        return;
    }
    for (const std::string& e : *read.entries)
        f_.List1->addItem(e);
    st_.usword = 1;
    f_.List1->setColor(forms::kPaleCyan);
}

void WordEngine::usr_Click() {
    const std::string text = "Your must have a file in " + userListPath_.string() +
                             " see manual for help\r\n"
                             "When useing a user list the watermark capture feature will be "
                             "disabled";
    host_.messageBox(forms::kAppTitle, text, [this] { userlist(); });
}

void WordEngine::rebuildList(const std::vector<std::string>& entries) {
    f_.List1->clear();
    for (const std::string& e : entries)
        f_.List1->addItem(e);
}

void WordEngine::lcontrol_Click(int index) {
    ++listChange_;
    // The list is rebuilt in one go, so no tick ever sees it half built.
    f_.List1->setVisible(false);
    f_.lcontrol[0]->setEnabled(false);
    f_.lcontrol[1]->setEnabled(false);
    if (index == 1) {
        f_.List1->clear();
        loadlist();
        f_.itcpro->setChecked(false);
        f_.itcpro->setVisible(false);
        f_.List1->setColor(forms::kLightGrey);
        st_.usword = 0;
    } else if (index == 0) {
        const std::vector<std::string> current = f_.List1->items();
        rebuildList(shuffled(current, rnd_));
    }
    f_.List1->setVisible(true);
    f_.lcontrol[0]->setEnabled(true);
    f_.lcontrol[1]->setEnabled(true);
}

void WordEngine::phoneon_Click() {
    ++listChange_;
    if (f_.phoneon->checked()) {
        f_.List1->setVisible(false);
        f_.List1->clear();
        loadlist();
        f_.List1->setVisible(true);
        f_.phoneon->setChecked(false);
        return;
    }
    f_.phoneon->setChecked(true);
    f_.List1->setVisible(false);
    std::vector<std::string> phones;
    loadphone(phones);
    rebuildList(phones);
    f_.List1->setVisible(true);
}

} // namespace kestle::ecm
