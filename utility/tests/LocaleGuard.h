#pragma once

#include <clocale>
#include <string>

namespace tarv {

// Switches the process's LC_NUMERIC for one test and puts the previous one back.
class LocaleGuard {
public:
    explicit LocaleGuard(const char* name) {
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        m_previous = previous ? previous : "C";
        m_ok = std::setlocale(LC_NUMERIC, name) != nullptr;
    }
    ~LocaleGuard() { std::setlocale(LC_NUMERIC, m_previous.c_str()); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

    bool ok() const { return m_ok; }

private:
    std::string m_previous;
    bool m_ok = false;
};

} // namespace tarv
