// SPDX-License-Identifier: GPL-3.0-or-later
// The report laid out with QPainter on Qt's PDF writer: a cursor runs down
// the page and a new page starts where the next block does not fit.
#include "review/alarm_episodes.h"
#include "review/decimate.h"
#include "review/report.h"
#include "review/report_listening_qt.h"
#include "review/time_text.h"

#include "evidence/bag_reader.h"

#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <tuple>
#include <unistd.h>

namespace kestle::review {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QColor rgb(std::uint32_t c) {
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

constexpr int kDpi = 300;
constexpr std::uint32_t kAlarmRed = 0xB00000;

class Layout {
  public:
    Layout(QPdfWriter& w, QPainter& p, evidence::StopFlag stop)
        : w_(w), p_(p), stop_(std::move(stop)) {
        width_ = w.width();
        bottom_ = w.height();
    }
    int width() const { return width_; }
    QPainter& painter() { return p_; }
    // The sections end between two rows once it is set.
    bool stopped() const { return stop_ && stop_->load(); }

    // Room for `h` more: a new page when there is not.
    int take(int h) {
        if (y_ + h > bottom_ && y_ > 0) {
            w_.newPage();
            y_ = 0;
        }
        const int at = y_;
        y_ += h;
        return at;
    }
    void gap(int h) { y_ += h; }

    void heading(const QString& text) {
        gap(40);
        QFont f("Liberation Sans", 14, QFont::Bold);
        p_.setFont(f);
        const int h = QFontMetrics(f, &w_).height();
        p_.setPen(Qt::black);
        p_.drawText(QRect(0, take(h + 60), width_, h), Qt::AlignLeft, text);
        p_.drawLine(0, y_ - 40, width_, y_ - 40);
    }

    // Wrapped text in `font`, starting at `x`; returns its height.
    void text(const QString& t, const QFont& font, int x = 0, QColor colour = Qt::black) {
        p_.setFont(font);
        QFontMetrics fm(font, &w_);
        const QRect box = fm.boundingRect(QRect(0, 0, width_ - x, 100000), Qt::TextWordWrap, t);
        p_.setPen(colour);
        p_.drawText(QRect(x, take(box.height()), width_ - x, box.height()), Qt::TextWordWrap, t);
    }

    // A row of cells at the given left edges; the row is as high as its
    // tallest cell.
    void row(const std::vector<QString>& cells, const std::vector<int>& lefts, const QFont& font,
             int minHeight = 0, QColor colour = Qt::black) {
        p_.setFont(font);
        QFontMetrics fm(font, &w_);
        int h = minHeight;
        std::vector<QRect> boxes;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const int right = i + 1 < lefts.size() ? lefts[i + 1] - 30 : width_;
            const QRect b =
                fm.boundingRect(QRect(0, 0, right - lefts[i], 100000), Qt::TextWordWrap, cells[i]);
            boxes.push_back(QRect(lefts[i], 0, right - lefts[i], b.height()));
            h = std::max(h, b.height());
        }
        const int top = take(h + 12);
        p_.setPen(colour);
        for (std::size_t i = 0; i < cells.size(); ++i)
            p_.drawText(boxes[i].translated(0, top), Qt::TextWordWrap, cells[i]);
        lastTop_ = top;
    }
    int lastTop() const { return lastTop_; }

  private:
    QPdfWriter& w_;
    QPainter& p_;
    evidence::StopFlag stop_;
    int width_ = 0, bottom_ = 0, y_ = 0, lastTop_ = 0;
};

const QFont& bodyFont() {
    static const QFont f("Liberation Sans", 9);
    return f;
}
const QFont& boldFont() {
    static const QFont f("Liberation Sans", 9, QFont::Bold);
    return f;
}
const QFont& monoFont() {
    static const QFont f("Liberation Mono", 6.5); // a SHA-256 fits one line
    return f;
}

bool isMarker(EventKind k) {
    return k == EventKind::Question || k == EventKind::Alarm || k == EventKind::Screen ||
           k == EventKind::Snapshot || k == EventKind::Recording || k == EventKind::Plug ||
           k == EventKind::Unplug || k == EventKind::Mark;
}

// One series of the whole night, with its scale and the event marks
// (`marks`: the events with each alarm episode as one).
void plot(Layout& l, const SessionModel& m, int s, const std::vector<Event>& marks) {
    constexpr int kHeight = 330, kAxis = 330;
    QPainter& p = l.painter();
    const int top = l.take(kHeight + 60);
    const QRect area(kAxis, top + 10, l.width() - kAxis, kHeight - 20);
    const SeriesStyle& style = seriesStyle(s);
    const auto& all = m.series[static_cast<std::size_t>(s)];
    const std::int64_t from = m.startMs, to = std::max(m.endMs, m.startMs + 1000);
    const std::vector<Point> pts = decimate(all, from, to, area.width() / 3);
    const auto [lo, hi] = valueRange(pts);

    p.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 2));
    p.drawRect(area);
    p.setFont(boldFont());
    p.setPen(rgb(style.day));
    p.drawText(QRect(0, top + 10, kAxis - 20, 120), Qt::AlignLeft | Qt::TextWordWrap,
               q(std::string(style.name) + " (" + style.unit + ")")); // a long name wraps
    p.setFont(bodyFont());
    p.setPen(Qt::black);
    p.drawText(QRect(0, area.top() + 60, kAxis - 20, 60), Qt::AlignRight,
               QString::number(hi, 'g', 4));
    p.drawText(QRect(0, area.bottom() - 60, kAxis - 20, 60), Qt::AlignRight,
               QString::number(lo, 'g', 4));
    auto x = [&](std::int64_t ms) {
        return area.left() + double(ms - from) / double(to - from) * area.width();
    };
    auto y = [&](double v) { return area.bottom() - (v - lo) / (hi - lo) * area.height(); };
    for (bool alarms : {false, true}) // the alarms over the rest
        for (const Event& e : marks) {
            if (!isMarker(e.kind) || (e.kind == EventKind::Alarm) != alarms)
                continue;
            if (alarms && e.durationMs > 0) // an episode: a light band over its span
                p.fillRect(QRectF(QPointF(x(e.ms), area.top()),
                                  QPointF(x(e.ms + e.durationMs), area.bottom())),
                           QColor(0xB0, 0x00, 0x00, 40));
            p.setPen(QPen(alarms ? rgb(kAlarmRed) : QColor(0xC0, 0xC0, 0xC0), 2));
            p.drawLine(QPointF(x(e.ms), area.top()), QPointF(x(e.ms), area.bottom()));
        }
    if (pts.empty()) {
        p.setPen(Qt::gray);
        p.drawText(area, Qt::AlignCenter, "no readings");
    } else {
        // No line across a time without readings.
        QPainterPath path;
        for (const auto& run : splitAtGaps(pts, all)) {
            path.moveTo(x(run[0].ms), y(run[0].value));
            for (const Point& pt : run)
                path.lineTo(x(pt.ms), y(pt.value));
        }
        p.save();
        p.setClipRect(area);
        p.setPen(QPen(rgb(style.day), 3));
        p.drawPath(path);
        p.restore();
    }
    if (s == kSeriesCount - 1) { // the time axis under the last plot
        const int labels = 6;
        for (int i = 0; i <= labels; ++i) {
            const std::int64_t t = from + (to - from) * i / labels;
            const int cx = int(x(t));
            p.setPen(Qt::black);
            p.drawText(QRect(cx - 200, area.bottom() + 10, 400, 50), Qt::AlignHCenter,
                       q(clockText(t)));
        }
        l.gap(40);
    }
}

std::string infoValue(const SessionModel& m, const std::string& label) {
    for (const auto& [k, v] : m.info)
        if (k == label)
            return v;
    return {};
}

// The session's start and end as its bag-info.txt gives them (what the bag
// says), else as the journal tells.
std::pair<std::int64_t, std::int64_t> sessionTimes(const SessionModel& m) {
    LocalDateTime start, end;
    const std::int64_t from =
        parseIsoDateTime(infoValue(m, "Session-Start"), start) ? localMs(start) : m.startMs;
    const std::int64_t to =
        parseIsoDateTime(infoValue(m, "Session-End"), end) ? localMs(end) : m.endMs;
    return {from, std::max(from, to)};
}

void summary(Layout& l, const SessionModel& m) {
    const std::vector<int> cols = {0, 600};
    auto line = [&](const char* k, const std::string& v) { l.row({k, q(v)}, cols, bodyFont()); };
    const auto [from, to] = sessionTimes(m);
    line("Started", dateTimeText(from));
    line("Ended",
         m.ended ? dateTimeText(to) : dateTimeText(to) + " (the program ended unexpectedly)");
    line("Length", durationText(to - from));
    line("Unit", m.unit);
    line("Program", m.version);
    line("Bagging date", infoValue(m, "Bagging-Date"));
    line("Payload", infoValue(m, "Payload-Oxum") + " (bytes.files)");
    if (!m.verified) {
        line("Verification", "not verified");
    } else if (m.problems.empty()) {
        line("Verification", "the bag is valid: every file matches its SHA-256 below");
    } else {
        line("Verification", "THE BAG FAILED VERIFICATION:");
        for (const std::string& p : m.problems)
            l.text(q(p), bodyFont(), cols[1], rgb(kAlarmRed));
    }
}

void questions(Layout& l, const SessionModel& m) {
    l.heading("Questions and answer words");
    const std::vector<int> cols = {0, 300, 1200};
    l.row({"Time", "Question", "Answer words"}, cols, boldFont());
    int n = 0;
    for (const Event& e : m.events) {
        if (e.kind != EventKind::Question)
            continue;
        ++n;
        std::string words;
        for (const std::string& w : e.words)
            words += (words.empty() ? "" : " ") + w;
        l.row({q(clockText(e.ms)), q(e.text), q(words.empty() ? "(none)" : words)}, cols,
              bodyFont());
    }
    if (n == 0)
        l.text("No question was asked.", bodyFont());
}

void sessionMarks(Layout& l, const SessionModel& m) {
    l.heading("Session marks");
    const std::vector<int> cols = {0, 300, 1500};
    l.row({"Time", "Note", "By"}, cols, boldFont());
    int n = 0;
    for (const Event& e : m.events) {
        if (e.kind != EventKind::Mark)
            continue;
        ++n;
        l.row({q(clockText(e.ms)), q(e.text), q(e.detail)}, cols, bodyFont());
    }
    if (n == 0)
        l.text("No mark was made.", bodyFont());
}

// One row an episode (the alarm log keeps every trip).
void alarms(Layout& l, const std::vector<AlarmEpisode>& episodes) {
    l.heading("Alarms");
    if (episodes.empty()) {
        l.text("No alarm was raised.", bodyFont());
        return;
    }
    l.text("An alarm that tripped in checks less than " + QString::number(kEpisodeGapMs / 1000) +
               " s apart is one episode; the alarm log has each trip.",
           bodyFont());
    const std::vector<int> cols = {0, 300, 600, 1500, 1750};
    l.row({"From", "Until", "Alarm", "Trips", "Peak"}, cols, boldFont());
    for (const AlarmEpisode& e : episodes)
        l.row({q(clockText(e.startMs)), q(clockText(e.endMs)),
               q(e.alarm + (e.limit.empty() ? "" : " " + e.limit)), QString::number(e.trips.size()),
               q(e.peakReading)},
              cols, bodyFont(), 0, rgb(kAlarmRed));
}

void captures(Layout& l, const SessionModel& m, const evidence::BagReader* bag) {
    l.heading("Captures");
    const std::vector<int> cols = {0, 300, 650, 1800};
    l.row({"Time", "Kind", "File", "Picture"}, cols, boldFont());
    int n = 0;
    constexpr int kThumbWidth = 360;
    constexpr std::uint64_t kMaxPictureBytes = 32 << 20;
    for (const Event& e : m.events) {
        if ((e.kind != EventKind::Screen && e.kind != EventKind::Snapshot &&
             e.kind != EventKind::Recording) ||
            l.stopped())
            continue;
        ++n;
        QImage thumb;
        if (!e.file.empty() && e.kind != EventKind::Recording && bag) {
            // Captures are JPEG; naming the format loads only its plugin.
            QImage full;
            if (auto bytes = bag->readAll(e.file, kMaxPictureBytes))
                full.loadFromData(reinterpret_cast<const uchar*>(bytes->data()),
                                  static_cast<int>(bytes->size()), "JPEG");
            if (!full.isNull())
                thumb = full.scaledToWidth(kThumbWidth, Qt::SmoothTransformation);
        }
        const std::string kind = eventKindName(e.kind);
        const std::string file =
            e.file.empty() ? e.detail + " (not in the bag)"
                           : e.file + (e.kind == EventKind::Recording ? "\n" + e.text : "");
        l.row({q(clockText(e.ms)), q(kind), q(file), thumb.isNull() ? QString("-") : QString()},
              cols, bodyFont(), thumb.isNull() ? 0 : thumb.height());
        if (!thumb.isNull())
            l.painter().drawImage(QPoint(cols[3], l.lastTop()), thumb);
    }
    if (n == 0)
        l.text("No capture was made.", bodyFont());
}

void settings(Layout& l, const SessionModel& m) {
    l.heading("Settings at the start (Kestle.ini)");
    l.text(q(m.settingsAtStart.empty() ? "(none kept)" : m.settingsAtStart), monoFont());
    l.heading("Settings at exit");
    if (m.settingsAtExit == m.settingsAtStart)
        l.text("The same as at the start.", bodyFont());
    else
        l.text(q(m.settingsAtExit.empty() ? "(none kept)" : m.settingsAtExit), monoFont());
}

// Files listed one by one first: the tag files, then the session's own
// (the logs, the journal, the trace, the settings), then its captures.
int listingRank(const FileEntry& f) {
    return f.tag ? 0 : f.path.starts_with("data/captures/") ? 2 : 1;
}

// Counts and bytes per folder of the files not listed, as few folders deep
// as it takes to stay within `maxRows` rows.
std::vector<std::tuple<std::string, std::size_t, std::uint64_t>>
folderTotals(const std::vector<const FileEntry*>& files, std::size_t maxRows) {
    auto folderOf = [](const std::string& path, int depth) {
        std::size_t at = 0;
        for (int d = 0; d < depth; ++d) {
            const std::size_t slash = path.find('/', at);
            if (slash == std::string::npos)
                break;
            at = slash + 1;
        }
        return at == 0 ? std::string("(the bag's folder)") : path.substr(0, at);
    };
    std::map<std::string, std::pair<std::size_t, std::uint64_t>> totals;
    for (int depth = 8; depth >= 1; --depth) {
        totals.clear();
        for (const FileEntry* f : files) {
            auto& t = totals[folderOf(f->path, depth)];
            ++t.first;
            t.second += f->size;
        }
        if (totals.size() <= maxRows)
            break;
    }
    std::vector<std::tuple<std::string, std::size_t, std::uint64_t>> rows;
    for (const auto& [folder, t] : totals)
        rows.emplace_back(folder, t.first, t.second);
    return rows;
}

void files(Layout& l, const SessionModel& m) {
    l.heading("Files of the bag and their SHA-256");
    l.text("Check a copy of the bag with: sha256sum -c manifest-sha256.txt (in its folder).",
           bodyFont());
    std::vector<const FileEntry*> order;
    for (const FileEntry& f : m.files)
        order.push_back(&f);
    std::stable_sort(order.begin(), order.end(), [](const FileEntry* a, const FileEntry* b) {
        return listingRank(*a) < listingRank(*b);
    });
    const std::size_t listed = std::min(order.size(), kReportListedFiles);
    if (listed < order.size()) {
        std::uint64_t bytes = 0;
        for (const FileEntry* f : order)
            bytes += f->size;
        l.text(q("The bag holds " + std::to_string(order.size()) + " files (" +
                 std::to_string(bytes) + " bytes). The first " + std::to_string(listed) +
                 " are listed here, the others summed by folder after them; the bag's "
                 "manifest-sha256.txt and tagmanifest-sha256.txt, in its folder, list every "
                 "file with its SHA-256."),
               bodyFont());
    }
    const std::vector<int> cols = {0, 880, 1080};
    l.row({"File", "Bytes", "SHA-256"}, cols, boldFont());
    for (std::size_t i = 0; i < listed && !l.stopped(); ++i)
        l.row({q(order[i]->path), QString::number(order[i]->size), q(order[i]->sha256)}, cols,
              monoFont());
    if (listed == order.size() || l.stopped())
        return;
    l.heading("Files not listed above, by folder");
    const std::vector<int> totalCols = {0, 1300, 1700};
    l.row({"Folder", "Files", "Bytes"}, totalCols, boldFont());
    const std::vector<const FileEntry*> rest(order.begin() + static_cast<std::ptrdiff_t>(listed),
                                             order.end());
    for (const auto& [folder, count, bytes] : folderTotals(rest, 200))
        l.row({q(folder), QString::number(count), QString::number(bytes)}, totalCols, bodyFont());
}

} // namespace

namespace {

// A new file beside `pdf` for the report to be written into.
Result<std::filesystem::path> newFileBeside(const std::filesystem::path& pdf) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path tmp = pdf;
        tmp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return tmp;
        }
        if (errno != EEXIST)
            return Error{pdf.string() + " cannot be written (" + std::strerror(errno) + ")"};
    }
    return Error{pdf.string() + " cannot be written"};
}

Status writeInto(const SessionModel& m, const std::filesystem::path& file,
                 const std::filesystem::path& pdf, const evidence::StopFlag& stop) {
    const QString path = q(file.string());
    QPdfWriter w(path);
    w.setPageSize(QPageSize(QPageSize::A4));
    w.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    w.setResolution(kDpi);
    w.setTitle(q("Session Report - " + m.name));
    w.setCreator("kestle");
    QPainter p;
    if (!p.begin(&w))
        return Error{pdf.string() + " cannot be written (is its folder there?)"};
    auto bag = evidence::BagReader::open(m.folder, {}, stop);
    Layout l(w, p, stop);
    l.text(q("Session Report - " + m.name), QFont("Liberation Sans", 18, QFont::Bold));
    l.gap(30);
    summary(l, m);
    l.heading("Readings of the night");
    const std::vector<AlarmEpisode> episodes = alarmEpisodes(m.events);
    const std::vector<Event> marks = withAlarmEpisodes(m.events, episodes);
    for (int s = 0; s < kSeriesCount; ++s)
        plot(l, m, s, marks);
    l.text("Grey lines: questions, captures, plugs, marks; red lines and bands: alarms.",
           bodyFont());
    questions(l, m);
    sessionMarks(l, m);
    alarms(l, episodes);
    captures(l, m, bag ? &*bag : nullptr);
    settings(l, m);
    files(l, m);
    drawListeningPages(w, p, m);
    if (!p.end())
        return Error{pdf.string() + " could not be finished"};
    if (l.stopped())
        return Error{"stopped before the report was finished"};
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
        return Error{pdf.string() + " could not be written"};
    return {};
}

} // namespace

Status writeReport(const SessionModel& m, const std::filesystem::path& pdf,
                   evidence::StopFlag stop) {
    auto tmp = newFileBeside(pdf);
    if (!tmp)
        return Error{tmp.error()};
    Status s = writeInto(m, *tmp, pdf, stop);
    std::error_code ec;
    if (s) {
        std::filesystem::rename(*tmp, pdf, ec);
        if (ec)
            s = Error{pdf.string() + " cannot be replaced: " + ec.message()};
    }
    if (!s)
        std::filesystem::remove(*tmp, ec);
    return s;
}

int reportCommand(const std::filesystem::path& bag, const std::filesystem::path& pdf,
                  std::ostream& out, std::ostream& err, evidence::StopFlag stop) {
    auto m = loadSession(bag, true, stop);
    if (!m) {
        err << "kestle: " << m.error() << '\n';
        return 1;
    }
    if (Status s = writeReport(*m, pdf, stop); !s) {
        err << "kestle: the report could not be written: " << s.error() << '\n';
        return 1;
    }
    if (!m->problems.empty())
        err << "kestle: warning: " << bag.string()
            << " failed verification; the report says what failed\n";
    out << pdf.string() << ": report of " << m->name << " written\n";
    return 0;
}

} // namespace kestle::review
