#pragma once

#include <atomic>

namespace scan {

// The appointment and contact counters: they count every appointment and contact dispatched
// since the program started, in all folders and scans, and are never reset. Thread-safe.
class ExportCounters
{
public:
    ExportCounters() = default;
    ExportCounters(const ExportCounters&) = delete;
    ExportCounters& operator=(const ExportCounters&) = delete;

    static ExportCounters& processCounters();

    int nextAppointment() { return ++m_appointments; }
    int nextContact() { return ++m_contacts; }
    int appointments() const { return m_appointments.load(); }
    int contacts() const { return m_contacts.load(); }

private:
    std::atomic<int> m_appointments{0};
    std::atomic<int> m_contacts{0};
};

} // namespace scan
