#include "core/desk/DeskRun.h"

#include <algorithm>
#include <thread>

#include "core/signals/SignalDatabase.h"

namespace tessaro::desk {

namespace {

double milliseconds(DeskTime time) {
    return std::chrono::duration<double, std::milli>(time).count();
}

// The PGN a request names, as the frames' requestPgn holds it; nothing for the extended data page.
std::optional<std::uint32_t> comparablePgn(std::uint32_t requested) {
    if (requested > 0x1FFFF) return std::nullopt;
    return framePgn(std::int32_t(requested >> 16), std::int32_t(requested & 0xFFFF)).number();
}

}  // namespace

CycleFigures cycleFigures(std::vector<DeskTime> intervals) {
    CycleFigures figures;
    figures.cycles = intervals.size();
    if (intervals.empty()) return figures;
    const auto [shortest, longest] = std::minmax_element(intervals.begin(), intervals.end());
    figures.minimumMs = milliseconds(*shortest);
    figures.maximumMs = milliseconds(*longest);
    const std::size_t middle = intervals.size() / 2;
    std::nth_element(intervals.begin(), intervals.begin() + std::ptrdiff_t(middle), intervals.end());
    if (intervals.size() % 2 == 1) {
        figures.medianMs = milliseconds(intervals[middle]);
    } else {
        const DeskTime upper = intervals[middle];
        const DeskTime lower = *std::max_element(intervals.begin(), intervals.begin() + std::ptrdiff_t(middle));
        figures.medianMs = (milliseconds(lower) + milliseconds(upper)) / 2;
    }
    return figures;
}

DeskRun::DeskRun(const GatewayModel& model, ModbusMaster& master, Clock& clock, CanOut& out, CanIn* in,
                 RunLimits limits, std::int64_t wallMicrosAtStart)
    : m_model(model),
      m_master(master),
      m_clock(clock),
      m_out(out),
      m_in(in),
      m_limits(limits),
      m_wallAtStart(wallMicrosAtStart),
      m_bytes(initialBytes(model)),
      m_frames(model.frames.size()),
      m_intervals(model.groups.size()),
      m_sends(model.groups.size(), 0),
      m_nextSend(model.groups.size(), kNever),
      m_lastSend(model.groups.size()) {
    for (const ModelRequest& request : model.requests) slave(request.request.slave);
}

SlaveStats& DeskRun::slave(std::uint8_t address) {
    SlaveStats& stats = m_slaves[address];
    stats.slave = address;
    return stats;
}

std::int64_t DeskRun::wallMicros(DeskTime at) const {
    return m_wallAtStart + std::chrono::duration_cast<std::chrono::microseconds>(at - m_start).count();
}

void DeskRun::run() {
    m_start = m_clock.now();
    m_lastSeen = m_start;
    // Both activities are counted before either waits, so that a simulated clock waits for both; the sender
    // enters first.
    m_clock.expect(2);
    m_clock.enter();
    std::thread poller([this] {
        m_clock.enter();
        try {
            poll();
        } catch (...) {
            fail(std::current_exception());
        }
        m_clock.leave();
    });
    try {
        send();
    } catch (...) {
        fail(std::current_exception());
    }
    m_clock.leave();
    poller.join();
    if (m_failure) std::rethrow_exception(m_failure);
}

void DeskRun::endWith(RunEnd end) {
    {
        std::lock_guard lock(m_mutex);
        if (m_end == RunEnd::running) {
            m_end = end;
            m_endedAt = std::max(m_lastSeen, m_clock.now());
        }
    }
    m_stopping.store(true);
    m_master.interrupt();
    m_clock.notify();
}

void DeskRun::stop() {
    endWith(RunEnd::stopped);
}

void DeskRun::fail(std::exception_ptr failure) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_failure) m_failure = failure;
    }
    endWith(RunEnd::failed);
}

void DeskRun::poll() {
    const auto stopped = [this] { return stopping(); };
    // The first turn, which a simulated clock gives in order.
    m_clock.waitUntil(m_start, stopped);
    const DeskTime delay = std::chrono::milliseconds(m_model.settings.cyclicDelayMs);
    while (!stopping()) {
        if (m_model.requests.empty()) {
            // Without requests there are no rounds: cycles of a project that sends nothing either are over at once.
            if (m_limits.cycles > 0 && std::none_of(m_model.groups.begin(), m_model.groups.end(),
                                                    [](const ModelGroup& group) { return group.sends(); })) {
                endWith(RunEnd::cycles);
                return;
            }
            m_clock.waitUntil(kNever, stopped);
            continue;
        }
        for (const ModelRequest& request : m_model.requests) {
            if (stopping()) return;
            const ModbusReply reply = m_master.read(request.request);
            // The request under way when the run stopped may have been cut short: it is not counted.
            if (stopping()) return;
            std::lock_guard lock(m_mutex);
            applyReply(m_model, request, reply, m_bytes);
            SlaveStats& stats = slave(request.request.slave);
            ++stats.requests;
            stats.last = reply.outcome;
            switch (reply.outcome) {
                case ModbusOutcome::answered:
                    ++stats.answered;
                    break;
                case ModbusOutcome::timedOut:
                    ++stats.timeouts;
                    break;
                case ModbusOutcome::exception:
                    ++stats.exceptions[reply.exceptionCode];
                    stats.lastException = reply.exceptionCode;
                    break;
                case ModbusOutcome::failed:
                    ++stats.failures;
                    stats.lastFailure = reply.failure;
                    break;
            }
            m_lastSeen = std::max(m_lastSeen, m_clock.now());
        }
        bool enough = false;
        {
            std::lock_guard lock(m_mutex);
            ++m_rounds;
            const bool anySends = std::any_of(m_model.groups.begin(), m_model.groups.end(),
                                              [](const ModelGroup& group) { return group.sends(); });
            enough = m_limits.cycles > 0 && !anySends && m_rounds >= m_limits.cycles;
        }
        if (enough) {
            endWith(RunEnd::cycles);
            return;
        }
        const DeskTime next = m_clock.now() + delay;
        do m_clock.waitUntil(next, stopped);
        while (!stopping() && m_clock.now() < next);
    }
}

void DeskRun::send() {
    const bool listens = m_in != nullptr;
    const auto wake = [this, listens] { return stopping() || (listens && m_in->pending()); };
    m_clock.waitUntil(m_start, wake);
    for (std::size_t g = 0; g < m_model.groups.size(); ++g)
        if (m_model.groups[g].sends()) m_nextSend[g] = m_start + std::chrono::milliseconds(m_model.groups[g].cycleMs);
    const DeskTime end = m_limits.duration == kNever ? kNever : m_start + m_limits.duration;
    while (!stopping()) {
        const DeskTime now = m_clock.now();
        answerRequests(now);
        sendDueGroups(now, end);
        if (stopping()) break;
        if (now >= end) {
            endWith(RunEnd::duration);
            break;
        }
        DeskTime deadline = end;
        for (const DeskTime next : m_nextSend) deadline = std::min(deadline, next);
        m_clock.waitUntil(deadline, wake);
    }
}

void DeskRun::answerRequests(DeskTime now) {
    if (!m_in) return;
    std::vector<SentFrame> answers;
    while (const std::optional<CanFrame> frame = m_in->receive()) {
        const std::optional<std::uint32_t> requested = requestedPgn(*frame, m_model.settings.sourceAddress);
        const std::optional<std::uint32_t> pgn = requested ? comparablePgn(*requested) : std::nullopt;
        std::lock_guard lock(m_mutex);
        bool answered = false;
        for (const std::size_t index : m_model.onRequest) {
            const ModelFrame& candidate = m_model.frames[index];
            if (!pgn || candidate.requestPgn != *pgn) continue;
            answers.push_back({index, canFrame(candidate, m_bytes[index]), now, wallMicros(now), true});
            ++m_frames[index].sent;
            m_frames[index].lastWallMicros = answers.back().wallMicros;
            answered = true;
        }
        ++(answered ? m_requestsAnswered : m_requestsIgnored);
    }
    for (const SentFrame& answer : answers) m_out.send(answer);
    if (!answers.empty()) m_out.flush();
}

void DeskRun::sendDueGroups(DeskTime now, DeskTime end) {
    std::vector<SentFrame> batch;
    bool enough = false;
    {
        std::lock_guard lock(m_mutex);
        m_lastSeen = std::max(m_lastSeen, now);
        for (std::size_t g = 0; g < m_model.groups.size(); ++g) {
            if (m_nextSend[g] > std::min(now, end)) continue;
            const ModelGroup& group = m_model.groups[g];
            const DeskTime cycle = std::chrono::milliseconds(group.cycleMs);
            for (const std::size_t index : group.frames) {
                batch.push_back({index, canFrame(m_model.frames[index], m_bytes[index]), now, wallMicros(now), false});
                ++m_frames[index].sent;
                m_frames[index].lastWallMicros = batch.back().wallMicros;
            }
            if (m_lastSend[g]) m_intervals[g].push_back(now - *m_lastSend[g]);
            m_lastSend[g] = now;
            ++m_sends[g];
            // A late send does not bring the ones it missed after it.
            m_nextSend[g] += cycle;
            if (m_nextSend[g] <= now) m_nextSend[g] += ((now - m_nextSend[g]) / cycle + 1) * cycle;
        }
        if (m_limits.cycles > 0) {
            enough = false;
            for (std::size_t g = 0; g < m_model.groups.size(); ++g) {
                if (!m_model.groups[g].sends()) continue;
                enough = m_sends[g] >= m_limits.cycles;
                if (!enough) break;
            }
        }
    }
    for (const SentFrame& frame : batch) m_out.send(frame);
    if (!batch.empty()) m_out.flush();
    if (enough) endWith(RunEnd::cycles);
}

DeskTime DeskRun::elapsed() const {
    return (m_end == RunEnd::running ? m_lastSeen : m_endedAt) - m_start;
}

DeskSnapshot DeskRun::snapshot() const {
    std::lock_guard lock(m_mutex);
    DeskSnapshot snapshot;
    snapshot.elapsed = elapsed();
    snapshot.rounds = m_rounds;
    snapshot.bytes = m_bytes;
    snapshot.frames = m_frames;
    for (const auto& [address, stats] : m_slaves) snapshot.slaves.push_back(stats);
    snapshot.end = m_end;
    return snapshot;
}

DeskSummary DeskRun::summary() const {
    std::lock_guard lock(m_mutex);
    DeskSummary summary;
    summary.elapsed = elapsed();
    summary.rounds = m_rounds;
    summary.end = m_end;
    for (const auto& [address, stats] : m_slaves) summary.slaves.push_back(stats);
    std::map<std::pair<std::uint8_t, std::uint16_t>, std::size_t> pgnAt;
    for (std::size_t i = 0; i < m_model.frames.size(); ++i) {
        const ModelFrame& frame = m_model.frames[i];
        const auto key = std::pair(std::uint8_t(frame.dataPage & 1), frame.pgn);
        const auto [at, added] = pgnAt.emplace(key, summary.pgns.size());
        if (added) summary.pgns.push_back({key.first, key.second, frame.acronym, 0});
        summary.pgns[at->second].sent += m_frames[i].sent;
    }
    std::sort(summary.pgns.begin(), summary.pgns.end(), [](const PgnCount& a, const PgnCount& b) {
        return std::pair(a.dataPage, a.pgn) < std::pair(b.dataPage, b.pgn);
    });
    for (std::size_t g = 0; g < m_model.groups.size(); ++g) {
        const ModelGroup& group = m_model.groups[g];
        GroupFigures figures{group.number, group.cycleMs, group.frames.size(), m_sends[g], std::nullopt};
        if (!m_intervals[g].empty()) figures.measured = cycleFigures(m_intervals[g]);
        summary.groups.push_back(figures);
    }
    summary.onRequest = m_model.onRequest;
    for (const std::size_t index : m_model.onRequest) summary.onRequestBytes.push_back(m_bytes[index]);
    summary.requestsHeard = m_in != nullptr;
    summary.requestsAnswered = m_requestsAnswered;
    summary.requestsIgnored = m_requestsIgnored;
    return summary;
}

}  // namespace tessaro::desk
