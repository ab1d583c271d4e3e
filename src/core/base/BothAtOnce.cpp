#include "base/BothAtOnce.h"

#include <exception>
#include <future>

#include <QRunnable>
#include <QThread>
#include <QThreadPool>

#include "base/BackgroundThreads.h"

namespace {

class Second final : public QRunnable
{
public:
    explicit Second(const std::function<void()> &work) : m_work(work) { setAutoDelete(false); }

    void run() override
    {
        asBackgroundThread();
        try {
            m_work();
        } catch (...) {
            m_failure = std::current_exception();
        }
        m_done.set_value();
    }

    void wait() { m_ended.wait(); }
    std::exception_ptr failure() const { return m_failure; }

private:
    const std::function<void()> &m_work;
    std::exception_ptr m_failure;
    std::promise<void> m_done;
    std::future<void> m_ended = m_done.get_future();
};

} // namespace

void runBothAtOnce(const std::function<void()> &first, const std::function<void()> &second,
                   QThreadPool &pool)
{
    Second other(second);
    pool.start(&other);
    const auto finishOther = [&] {
        if (pool.tryTake(&other))
            other.run();
        other.wait();
    };
    try {
        first();
    } catch (...) {
        finishOther();
        throw;
    }
    finishOther();
    if (other.failure())
        std::rethrow_exception(other.failure());
}

void runBothAtOnce(const std::function<void()> &first, const std::function<void()> &second)
{
    runBothAtOnce(first, second, enginePool());
}

QThreadPool &enginePool()
{
    static QThreadPool pool;
    static const bool sized = [] {
        pool.setMaxThreadCount(QThread::idealThreadCount());
        return true;
    }();
    Q_UNUSED(sized);
    return pool;
}
