#pragma once

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

namespace quorbit {

// Why a Result holds no value: return Failure{why} where a Result is expected.
// Its own type, so a failure is never taken for a value of the same type.
template <class Fault>
struct Failure {
    Fault fault;
};

// A value, or why there is none. True when it holds the value; the value is
// read only from a true one and the fault only from a false one, as
// std::optional's value is (a debug build asserts it).
template <class Value, class Fault>
class [[nodiscard]] Result {
public:
    Result(Value value)
        : m_held(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Failure<Fault> failure)
        : m_held(std::in_place_index<1>, std::move(failure.fault))
    {
    }

    explicit operator bool() const { return m_held.index() == 0; }

    Value& operator*()
    {
        assert(*this);
        return *std::get_if<0>(&m_held);
    }
    const Value& operator*() const
    {
        assert(*this);
        return *std::get_if<0>(&m_held);
    }
    Value* operator->() { return &**this; }
    const Value* operator->() const { return &**this; }

    const Fault& fault() const
    {
        assert(!*this);
        return *std::get_if<1>(&m_held);
    }

private:
    std::variant<Value, Fault> m_held; // by index, so Value and Fault may be one type
};

// An outcome with no value: done (made by `{}`), or why not.
template <class Fault>
class [[nodiscard]] Result<void, Fault> {
public:
    Result() = default;
    Result(Failure<Fault> failure)
        : m_fault(std::move(failure.fault))
    {
    }

    explicit operator bool() const { return !m_fault; }

    const Fault& fault() const
    {
        assert(!*this);
        return *m_fault;
    }

private:
    std::optional<Fault> m_fault;
};

} // namespace quorbit
