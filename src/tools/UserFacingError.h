// Errors whose German text the user reads, and the platform's own errors.
#pragma once

#include <QString>

#include <exception>

// An error whose German text is shown to the user unchanged.
class UserFacingError : public std::exception {
public:
    virtual QString errorDescription() const = 0;
    const char *what() const noexcept override { return "Spurenflechter error"; }
};

// An error the platform reported (a process that did not start, output that is not JSON),
// passed on with the platform's own text.
class PlatformError : public UserFacingError {
public:
    explicit PlatformError(QString text) : m_text(std::move(text)) {}
    QString errorDescription() const override { return m_text; }

private:
    QString m_text;
};

// The text to show for any exception that leaves a worker.
QString describeError(const std::exception_ptr &error);
