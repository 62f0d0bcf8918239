#pragma once
// A small signed result: 0 or more is success (a count, an index, a port), each failure a named
// negative value, as the logs and boxes show them.
#include <cassert>

namespace fw {

template <typename Failure>
class [[nodiscard]] Result {
public:
    static Result success(int value = 0)
    {
        assert(value >= 0);
        return Result{value};
    }
    Result(Failure failure) : m_raw{static_cast<int>(failure)} { assert(m_raw < 0); }
    bool ok() const { return m_raw >= 0; }
    int value() const
    {
        assert(ok());
        return m_raw;
    }
    Failure failure() const
    {
        assert(!ok());
        return static_cast<Failure>(m_raw);
    }
    int raw() const { return m_raw; } // the number the log, the boxes and the tests see

private:
    explicit Result(int raw) : m_raw{raw} {}
    int m_raw;
};

} // namespace fw
