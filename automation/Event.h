#pragma once
// Synchronous events. Subscribers are called in subscription order. During delivery a subscriber
// may unsubscribe itself or others, subscribe new ones (they hear the next raise), raise again,
// or destroy the source's owner: delivery holds what it needs.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace automation {

// Ends a subscription when reset or destroyed.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& o) noexcept : cancel_(std::exchange(o.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& o) noexcept {
        if (this != &o) {
            Reset();
            cancel_ = std::exchange(o.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Reset(); }

    void Reset() {
        if (auto c = std::exchange(cancel_, nullptr)) c();
    }
    bool Active() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

template <class... Args>
class Event {
public:
    using Handler = std::function<void(Args...)>;

    Event() : state_(std::make_shared<State>()) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    // Subscriptions that outlive the source find nothing to cancel; a delivery under way when
    // the source goes still reaches everyone who was subscribed when it began.
    ~Event() = default;

    [[nodiscard]] Subscription Subscribe(Handler h) {
        auto slot = std::make_shared<Slot>();
        slot->handler = std::move(h);
        state_->slots.push_back(slot);
        std::weak_ptr<State> ws = state_;
        std::weak_ptr<Slot> wslot = slot;
        return Subscription([ws, wslot] {
            auto st = ws.lock();
            auto sl = wslot.lock();
            if (!sl) return;
            sl->live = false;
            if (!st) return;
            auto& v = st->slots;
            for (auto it = v.begin(); it != v.end(); ++it)
                if (*it == sl) {
                    v.erase(it);
                    break;
                }
        });
    }

    template <class... A>
    void Raise(A&&... args) const {
        auto st = state_;  // keeps the subscriber list alive if the source goes during delivery
        auto snapshot = st->slots;
        for (auto& slot : snapshot)
            if (slot->live) slot->handler(args...);
    }

    std::size_t SubscriberCount() const { return state_->slots.size(); }

private:
    struct Slot {
        Handler handler;
        bool live = true;
    };
    struct State {
        std::vector<std::shared_ptr<Slot>> slots;
    };
    std::shared_ptr<State> state_;
};

}  // namespace automation
