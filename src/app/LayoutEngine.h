#pragma once

#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

namespace app {

// A rectangle as the layout engine keeps it: left, top, right and bottom edges (right and
// bottom exclusive), in whole pixels.
struct LayoutRect
{
    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;

    qint32 width() const { return right - left; }
    qint32 height() const { return bottom - top; }
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

// One control placed by a resize: its id and its new geometry in client coordinates.
struct LayoutPlacement
{
    int controlId = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const LayoutPlacement&, const LayoutPlacement&) = default;
};

// What the layout engine needs from the window whose controls it places. The main window
// implements it over its widgets; tests implement it over plain rectangles.
class LayoutHost
{
public:
    virtual ~LayoutHost() = default;

    // The window's rectangle in screen coordinates.
    virtual LayoutRect windowRect() const = 0;
    // The client area, in client coordinates (left and top are normally 0).
    virtual LayoutRect clientRect() const = 0;
    // The rectangle of the direct child with this id, in client coordinates; none if the window
    // has no such child.
    virtual std::optional<LayoutRect> childRect(int controlId) const = 0;
    // The ids of all direct children, in the window's own order.
    virtual std::vector<int> childIds() const = 0;
    // Creates the size grip in the lower right corner of the client area, sized by the
    // platform's metrics, above the other children, and returns its control id.
    virtual int createSizeGrip() = 0;
    virtual bool isMaximized() const = 0;
    virtual bool isSizeGripVisible() const = 0;
    virtual void setSizeGripVisible(bool visible) = 0;
    // Applies all placements of one resize at once, so the window repaints once.
    virtual void placeControls(const std::vector<LayoutPlacement>& placements) = 0;
};

// Keeps a resizable window's controls in place: every registered control carries anchor flags
// that say which window edges it follows; on each size change the controls are moved or
// stretched by the change in window width and height. Positions are kept as floating-point
// numbers so that repeated half-moves do not drift; they are cut to whole pixels only when a
// control is placed. Widget-free: it works through a LayoutHost. GUI thread.
class LayoutEngine
{
public:
    // Anchor flags of a control.
    static constexpr quint32 FollowLeft = 0x40;
    static constexpr quint32 FollowRight = 0x80;
    static constexpr quint32 FollowTop = 0x10;
    static constexpr quint32 FollowBottom = 0x20;
    static constexpr quint32 AutoAnchor = 0x100;
    static constexpr quint32 DockFill = 0xF;
    static constexpr quint32 DockTop = 0x1;
    static constexpr quint32 DockBottom = 0x2;
    static constexpr quint32 DockLeft = 0x4;
    static constexpr quint32 DockRight = 0x8;
    static constexpr quint32 PinLeft = 0x800;
    static constexpr quint32 PinRight = 0x1000;
    static constexpr quint32 PinTop = 0x200;
    static constexpr quint32 PinBottom = 0x400;

    // Options of the initial layout.
    static constexpr quint32 CreateSizeGrip = 0x2;

    static constexpr int MaxEntries = 256;

    struct Entry
    {
        int controlId = 0;
        quint32 flags = 0;
        double top = 0;
        double left = 0;
        double right = 0;
        double bottom = 0;
        bool hasWindow = false;
    };

    LayoutEngine();

    void reset();
    // Id 0 makes the initial layout register every other direct child with these flags.
    // Fails when the table is full.
    bool addControl(int controlId, quint32 flags);
    // Records the rectangles of the registered controls. Without a host the entry list is
    // emptied.
    void initialLayout(LayoutHost* host, quint32 options);
    // Moves the controls by the change between the stored and the new window rectangle (the
    // host's current one when none is given) and stores the new rectangle.
    void resize(const std::optional<LayoutRect>& newWindowRect = std::nullopt);

    bool isInitialised() const { return m_initialised; }
    int entryCount() const { return m_entryCount; }
    const Entry& entry(int index) const { return m_entries[static_cast<std::size_t>(index)]; }
    quint32 changeFlags() const { return m_changeFlags; }
    qint32 widthChange() const { return m_widthChange; }
    qint32 heightChange() const { return m_heightChange; }
    const LayoutRect& clientRect() const { return m_clientRect; }
    const LayoutRect& windowRect() const { return m_windowRect; }
    std::optional<int> sizeGripId() const { return m_sizeGripId; }
    // The rectangle a registered control has now, cut to whole pixels as when it is placed;
    // none for a control the layout does not place.
    std::optional<LayoutRect> rectOf(int controlId) const;

private:
    bool hasEntryFor(int controlId) const;
    void appendEntry(int controlId, quint32 flags, const std::optional<LayoutRect>& rect);
    void resolveAutoAnchors();
    bool applyDock(Entry& e, double w, double h) const;

    LayoutRect m_windowRect;
    bool m_initialised = false;
    LayoutRect m_newWindowRect;
    LayoutRect m_clientRect;
    quint32 m_changeFlags = 0;
    qint32 m_widthChange = 0;
    qint32 m_heightChange = 0;
    LayoutHost* m_host = nullptr;
    int m_entryCount = 0;
    std::array<Entry, MaxEntries> m_entries{};
    bool m_enumerateChildren = false;
    quint32 m_defaultFlags = 0;
    std::optional<int> m_sizeGripId;
    std::vector<LayoutPlacement> m_batch;
};

} // namespace app
