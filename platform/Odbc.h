// A connection to a database through the system's ODBC driver manager
// (unixODBC on Linux, odbc32 on Windows): whichever database a line has,
// through the driver it installed. Text crosses as UTF-16, so that names
// and messages keep every character on both systems.
#pragma once

#include <memory>
#include <string>
#include <vector>

// A statement's parameter or a result's cell.
struct TOdbcValue {
    enum class TKind { null, text, integer, real } kind = TKind::null;
    std::string text; // UTF-8; a result's numbers come as text too
    long long integer = 0;
    double real = 0;

    static TOdbcValue Text(std::string t) {
        TOdbcValue v;
        v.kind = TKind::text;
        v.text = std::move(t);
        return v;
    }
    static TOdbcValue Integer(long long n) {
        TOdbcValue v;
        v.kind = TKind::integer;
        v.integer = n;
        return v;
    }
    static TOdbcValue Real(double x) {
        TOdbcValue v;
        v.kind = TKind::real;
        v.real = x;
        return v;
    }
};

using TOdbcRow = std::vector<TOdbcValue>;

// What went wrong: the five-character SQLSTATE ("08001": no connection,
// "28000": the login refused, "23505": a key already stored) and the
// driver's words.
struct TOdbcError {
    std::string state;
    std::string message;
    // The SQLSTATE's class: its first two characters.
    std::string Class() const { return state.substr(0, 2); }
};

class TOdbcConnection {
public:
    TOdbcConnection();
    ~TOdbcConnection();
    TOdbcConnection(const TOdbcConnection&) = delete;
    TOdbcConnection& operator=(const TOdbcConnection&) = delete;

    // Connects with an ODBC connection string ("DSN=line" or
    // "Driver=...;Server=...;"), waiting at most `timeoutSeconds` for the
    // login. Each statement may take at most that long too.
    bool Connect(const std::string& connection, int timeoutSeconds, TOdbcError& error);
    void Disconnect();
    bool Connected() const;

    // Runs one statement with its "?" parameters, committed on its own.
    bool Execute(const std::string& sql, const TOdbcRow& parameters, TOdbcError& error);
    // Runs a query and gives back every row it yields.
    bool Query(const std::string& sql, const TOdbcRow& parameters, std::vector<TOdbcRow>& rows,
               TOdbcError& error);

private:
    struct THandles;
    std::unique_ptr<THandles> h_;
    int timeoutSeconds_ = 10;
};
