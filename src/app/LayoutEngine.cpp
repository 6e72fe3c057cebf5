#include "LayoutEngine.h"

#include <cmath>

namespace app {

namespace {

constexpr quint32 HorizontalBits = LayoutEngine::FollowLeft | LayoutEngine::FollowRight;
constexpr quint32 VerticalBits = LayoutEngine::FollowTop | LayoutEngine::FollowBottom;

// Moves one axis of an entry by the window's change along it. Returns whether the control
// has to be placed (everything but "follows the near edge only").
bool anchorAxis(quint32 bits, quint32 nearBit, quint32 farBit, double change, double& nearEdge,
                double& farEdge)
{
    const double extent = farEdge - nearEdge;
    const bool followsNear = (bits & nearBit) != 0;
    const bool followsFar = (bits & farBit) != 0;
    if (followsNear && !followsFar)
        return false;
    if (followsNear && followsFar) {
        farEdge += change;
    } else if (followsFar) {
        nearEdge += change;
        farEdge = nearEdge + extent;
    } else {
        // Keeps the control centred between the edges; the half is exact so that two moves
        // by an odd change add up to the whole change.
        nearEdge += change / 2.0;
        farEdge = nearEdge + extent;
    }
    return true;
}

int cut(double value)
{
    return static_cast<int>(std::trunc(value));
}

} // namespace

LayoutEngine::LayoutEngine()
{
    reset();
}

void LayoutEngine::reset()
{
    m_windowRect = {};
    m_initialised = false;
    m_newWindowRect = {};
    m_clientRect = {};
    m_changeFlags = 0;
    m_widthChange = 0;
    m_heightChange = 0;
    m_host = nullptr;
    m_entryCount = 0;
    m_entries.fill(Entry{});
    m_enumerateChildren = false;
    m_defaultFlags = 0;
    m_sizeGripId.reset();
}

bool LayoutEngine::addControl(int controlId, quint32 flags)
{
    if (controlId == 0) {
        m_enumerateChildren = true;
        m_defaultFlags = flags;
        return true;
    }
    if (m_entryCount >= MaxEntries)
        return false;
    appendEntry(controlId, flags, std::nullopt);
    return true;
}

void LayoutEngine::appendEntry(int controlId, quint32 flags, const std::optional<LayoutRect>& rect)
{
    Entry& e = m_entries[static_cast<std::size_t>(m_entryCount++)];
    e = Entry{};
    e.controlId = controlId;
    e.flags = flags;
    if (rect) {
        e.hasWindow = true;
        e.left = rect->left;
        e.top = rect->top;
        e.right = rect->right;
        e.bottom = rect->bottom;
    }
}

bool LayoutEngine::hasEntryFor(int controlId) const
{
    for (int i = 0; i < m_entryCount; ++i) {
        if (m_entries[static_cast<std::size_t>(i)].controlId == controlId)
            return true;
    }
    return false;
}

void LayoutEngine::initialLayout(LayoutHost* host, quint32 options)
{
    m_host = host;
    if (!host) {
        m_entryCount = 0;
        return;
    }
    m_windowRect = host->windowRect();
    m_newWindowRect = m_windowRect;
    m_clientRect = host->clientRect();

    for (int i = 0; i < m_entryCount; ++i) {
        Entry& e = m_entries[static_cast<std::size_t>(i)];
        if (const auto rect = host->childRect(e.controlId)) {
            e.hasWindow = true;
            e.left = rect->left;
            e.top = rect->top;
            e.right = rect->right;
            e.bottom = rect->bottom;
        }
    }

    if (m_enumerateChildren) {
        for (const int id : host->childIds()) {
            if (m_entryCount >= MaxEntries)
                break;
            if (hasEntryFor(id))
                continue;
            appendEntry(id, m_defaultFlags, host->childRect(id));
        }
    }

    if ((options & CreateSizeGrip) != 0) {
        const int gripId = host->createSizeGrip();
        m_sizeGripId = gripId;
        if (m_entryCount < MaxEntries && !hasEntryFor(gripId))
            appendEntry(gripId, FollowRight | FollowBottom, host->childRect(gripId));
    }

    resolveAutoAnchors();
    m_batch.reserve(MaxEntries);
    m_initialised = true;
}

void LayoutEngine::resolveAutoAnchors()
{
    const qint32 halfHeight = (m_clientRect.bottom - m_clientRect.top) / 2;
    const qint32 halfWidth = (m_clientRect.right - m_clientRect.left) / 2;
    for (int i = 0; i < m_entryCount; ++i) {
        Entry& e = m_entries[static_cast<std::size_t>(i)];
        if (e.flags != AutoAnchor)
            continue;
        e.flags = 0;
        if (halfHeight > e.top)
            e.flags |= FollowTop;
        if (halfHeight <= e.bottom)
            e.flags |= FollowBottom;
        if (halfWidth > e.left)
            e.flags |= FollowLeft;
        if (halfWidth <= e.right)
            e.flags |= FollowRight;
    }
}

bool LayoutEngine::applyDock(Entry& e, double w, double h) const
{
    const double cr = m_clientRect.right;
    const double cb = m_clientRect.bottom;
    auto set = [&e](double l, double t, double r, double b) {
        e.left = l;
        e.top = t;
        e.right = r;
        e.bottom = b;
    };
    const quint32 f = e.flags;
    if ((f & DockFill) == DockFill)
        set(0, 0, cr, cb);
    else if (f & DockTop)
        set(0, 0, cr, h);
    else if (f & DockBottom)
        set(0, cb - h, cr, cb);
    else if (f & DockLeft)
        set(0, 0, w, cb);
    else if (f & DockRight)
        set(cr - w, 0, cr, cb);
    else if (f & PinLeft)
        set(0, e.top, w, e.bottom);
    else if (f & PinRight)
        set(e.left, e.top, cr, e.bottom);
    else if (f & PinTop)
        set(e.left, 0, e.right, e.bottom);
    else if (f & PinBottom)
        set(e.left, e.top, e.right, cb);
    else
        return false;
    return true;
}

void LayoutEngine::resize(const std::optional<LayoutRect>& newWindowRect)
{
    if (!m_initialised || !m_host)
        return;
    m_newWindowRect = newWindowRect ? *newWindowRect : m_host->windowRect();
    const LayoutRect& n = m_newWindowRect;
    const LayoutRect& o = m_windowRect;
    m_changeFlags = 0;
    if (n.left != o.left)
        m_changeFlags |= FollowLeft;
    if (n.top != o.top)
        m_changeFlags |= FollowTop;
    if (n.right != o.right)
        m_changeFlags |= FollowRight;
    if (n.bottom != o.bottom)
        m_changeFlags |= FollowBottom;
    m_widthChange = n.width() - o.width();
    m_heightChange = n.height() - o.height();
    m_clientRect.right += m_widthChange;
    m_clientRect.bottom += m_heightChange;

    // The grip is useless on a maximised window; it shows exactly while the window is not
    // maximised (rather than toggling on every resize of a maximised window).
    if (m_sizeGripId) {
        const bool wanted = !m_host->isMaximized();
        if (m_host->isSizeGripVisible() != wanted)
            m_host->setSizeGripVisible(wanted);
    }

    m_batch.clear();
    for (int i = 0; i < m_entryCount; ++i) {
        Entry& e = m_entries[static_cast<std::size_t>(i)];
        if (!e.hasWindow)
            continue;
        const double w = e.right - e.left;
        const double h = e.bottom - e.top;
        const bool docked = applyDock(e, w, h);
        bool placed = docked;
        if ((m_changeFlags & HorizontalBits) != 0 && m_widthChange != 0 && !placed)
            placed =
                anchorAxis(e.flags & HorizontalBits, FollowLeft, FollowRight, m_widthChange, e.left, e.right);
        // A docked control already has its final rectangle from the client area.
        if ((m_changeFlags & VerticalBits) != 0 && m_heightChange != 0 && !docked)
            placed = anchorAxis(e.flags & VerticalBits, FollowTop, FollowBottom, m_heightChange, e.top,
                                e.bottom) ||
                     placed;
        if (placed)
            m_batch.push_back(
                {e.controlId, cut(e.left), cut(e.top), cut(e.right - e.left), cut(e.bottom - e.top)});
    }
    if (!m_batch.empty())
        m_host->placeControls(m_batch);
    m_windowRect = m_newWindowRect;
}

std::optional<LayoutRect> LayoutEngine::rectOf(int controlId) const
{
    for (int i = 0; i < m_entryCount; ++i) {
        const Entry& e = m_entries[static_cast<std::size_t>(i)];
        if (e.controlId == controlId && e.hasWindow)
            return LayoutRect{cut(e.left), cut(e.top), cut(e.left) + cut(e.right - e.left),
                              cut(e.top) + cut(e.bottom - e.top)};
    }
    return std::nullopt;
}

} // namespace app
