#pragma once

#include "platform/notifications/NotificationBackend.h"

#include <QHash>
#include <QList>

#include <functional>
#include <memory>

// A notification centre in memory. The test keeps the shared state after handing the
// backend to a service. Answers come at once, or are held until the test releases them.
class ScriptedNotificationBackend : public NotificationBackend {
public:
    struct State {
        NotificationAccess access = NotificationAccess::allowed;
        // What the settings say after the user answered the prompt.
        NotificationAccess accessAfterRequest = NotificationAccess::allowed;
        std::optional<QString> requestError;
        // add() fails for these identifiers with this description.
        QHash<QString, QString> addErrors;

        QStringList pending; // in the order the centre returns them
        QHash<QString, ScheduledAlert> scheduled;

        int accessCalls = 0;
        int requestCalls = 0;
        int pendingCalls = 0;
        QList<ScheduledAlert> added;
        QList<QStringList> removed;
        QList<QStringList> removedDelivered;

        // Runs before each operation, named "access", "requestAccess", "pendingIDs", "add".
        std::function<void(const QString&)> beforeCall;
        bool holdAnswers = false;
        QList<std::function<void()>> held;

        void releaseAll()
        {
            while (!held.isEmpty())
                held.takeFirst()();
        }
    };

    explicit ScriptedNotificationBackend(std::shared_ptr<State> state = std::make_shared<State>())
        : m_state(std::move(state))
    {
    }

    void access(AccessCallback done) override
    {
        before("access");
        ++m_state->accessCalls;
        answer([s = m_state, done] { done(s->access); });
    }
    void requestAccess(RequestCallback done) override
    {
        before("requestAccess");
        ++m_state->requestCalls;
        answer([s = m_state, done] {
            if (s->requestError) {
                done(false, s->requestError);
                return;
            }
            s->access = s->accessAfterRequest;
            done(s->access == NotificationAccess::allowed, std::nullopt);
        });
    }
    void pendingIDs(PendingCallback done) override
    {
        before("pendingIDs");
        ++m_state->pendingCalls;
        answer([s = m_state, done] { done(s->pending); });
    }
    void add(const ScheduledAlert& alert, AddCallback done) override
    {
        before("add");
        answer([s = m_state, alert, done] {
            if (const auto error = s->addErrors.find(alert.id); error != s->addErrors.end()) {
                done(*error);
                return;
            }
            s->added.append(alert);
            s->scheduled.insert(alert.id, alert);
            if (!s->pending.contains(alert.id))
                s->pending.append(alert.id);
            done(std::nullopt);
        });
    }
    void remove(const QStringList& ids) override
    {
        m_state->removed.append(ids);
        for (const QString& id : ids) {
            m_state->pending.removeAll(id);
            m_state->scheduled.remove(id);
        }
    }
    void removeDelivered(const QStringList& ids) override { m_state->removedDelivered.append(ids); }

private:
    void before(const QString& operation)
    {
        if (m_state->beforeCall)
            m_state->beforeCall(operation);
    }
    void answer(std::function<void()> reply)
    {
        if (m_state->holdAnswers)
            m_state->held.append(std::move(reply));
        else
            reply();
    }

    std::shared_ptr<State> m_state;
};
