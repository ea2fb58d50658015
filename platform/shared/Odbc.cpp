#include "platform/Odbc.h"

#include "OdbcApi.h"
#include "platform/Text1251.h"

#include <cstdint>

namespace {

using TWide = std::basic_string<SQLWCHAR>;

// UTF-8 to UTF-16; a byte that starts no character becomes U+FFFD.
TWide Wide(const std::string& text) {
    TWide out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        std::uint32_t code = extra == 0   ? c
                             : extra == 1 ? c & 0x1F
                             : extra == 2 ? c & 0x0F
                                          : c & 0x07;
        bool ok = extra >= 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + std::size_t(k) >= text.size()) {
                ok = false;
                break;
            }
            const unsigned char more = static_cast<unsigned char>(text[i + std::size_t(k)]);
            ok = (more & 0xC0) == 0x80;
            code = (code << 6) | (more & 0x3F);
        }
        if (!ok || code > 0x10FFFF) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += std::size_t(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(SQLWCHAR(0xD800 + (code >> 10)));
            out.push_back(SQLWCHAR(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(SQLWCHAR(code));
        }
    }
    return out;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(const SQLWCHAR* text, std::size_t length) {
    return Utf16ToUtf8(std::u16string(text, text + length));
}

bool Succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// The first diagnostic record's SQLSTATE, and every record's words.
TOdbcError Diagnostics(SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    TOdbcError error;
    for (SQLSMALLINT record = 1; handle; ++record) {
        SQLWCHAR state[6] = {}, text[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, text,
                                      SQLSMALLINT(sizeof text / sizeof text[0]), &length);
        if (!Succeeded(rc)) break;
        if (error.state.empty()) error.state = Narrow(state, 5);
        std::size_t n = std::min<std::size_t>(std::size_t(std::max<SQLSMALLINT>(length, 0)),
                                              sizeof text / sizeof text[0] - 1);
        std::string words = Narrow(text, n);
        while (!words.empty() && (words.back() == '\n' || words.back() == ' '))
            words.pop_back();
        if (!error.message.empty()) error.message += "; ";
        error.message += words;
    }
    if (error.state.empty()) error.state = "HY000";
    if (error.message.empty()) error.message = std::string(what) + " failed";
    return error;
}

// A statement's handle, freed whichever way the statement ends.
struct TStatement {
    SQLHSTMT handle = SQL_NULL_HSTMT;
    ~TStatement() {
        if (handle) SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
};

// The parameters' buffers, which must outlive the execution.
struct TBound {
    std::vector<TWide> texts;
    std::vector<SQLBIGINT> integers;
    std::vector<SQLDOUBLE> reals;
    std::vector<SQLLEN> lengths;
};

} // namespace

struct TOdbcConnection::THandles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
};

TOdbcConnection::TOdbcConnection() : h_(std::make_unique<THandles>()) {}

TOdbcConnection::~TOdbcConnection() {
    Disconnect();
}

bool TOdbcConnection::Connected() const {
    return h_->connected;
}

void TOdbcConnection::Disconnect() {
    if (h_->connected) SQLDisconnect(h_->dbc);
    if (h_->dbc) SQLFreeHandle(SQL_HANDLE_DBC, h_->dbc);
    if (h_->env) SQLFreeHandle(SQL_HANDLE_ENV, h_->env);
    *h_ = THandles();
}

bool TOdbcConnection::Connect(const std::string& connection, int timeoutSeconds,
                              TOdbcError& error) {
    Disconnect();
    timeoutSeconds_ = timeoutSeconds;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h_->env))) {
        error = {"HY001", "the ODBC driver manager cannot be used"};
        return false;
    }
    SQLSetEnvAttr(h_->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, h_->env, &h_->dbc))) {
        error = Diagnostics(SQL_HANDLE_ENV, h_->env, "opening a connection");
        Disconnect();
        return false;
    }
    SQLSetConnectAttrW(h_->dbc, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(std::intptr_t(timeoutSeconds)), 0);
    TWide text = Wide(connection);
    SQLWCHAR completed[1024];
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLDriverConnectW(h_->dbc, nullptr, text.data(), SQLSMALLINT(text.size()),
                                     completed, SQLSMALLINT(sizeof completed / sizeof completed[0]),
                                     &length, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) {
        error = Diagnostics(SQL_HANDLE_DBC, h_->dbc, "connecting");
        Disconnect();
        return false;
    }
    h_->connected = true;
    SQLSetConnectAttrW(h_->dbc, SQL_ATTR_AUTOCOMMIT,
                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    return true;
}

namespace {

bool Run(SQLHDBC dbc, int timeoutSeconds, const std::string& sql, const TOdbcRow& parameters,
         TStatement& statement, TBound& bound, TOdbcError& error) {
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &statement.handle))) {
        error = Diagnostics(SQL_HANDLE_DBC, dbc, "a statement");
        return false;
    }
    SQLSetStmtAttrW(statement.handle, SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(std::intptr_t(timeoutSeconds)), 0);
    TWide text = Wide(sql);
    if (!Succeeded(SQLPrepareW(statement.handle, text.data(), SQLINTEGER(text.size())))) {
        error = Diagnostics(SQL_HANDLE_STMT, statement.handle, "preparing a statement");
        return false;
    }
    bound.texts.reserve(parameters.size());
    bound.integers.reserve(parameters.size());
    bound.reals.reserve(parameters.size());
    bound.lengths.assign(parameters.size(), 0);
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const TOdbcValue& p = parameters[i];
        SQLLEN& length = bound.lengths[i];
        SQLRETURN rc;
        const SQLUSMALLINT number = SQLUSMALLINT(i + 1);
        switch (p.kind) {
        case TOdbcValue::TKind::text: {
            bound.texts.push_back(Wide(p.text));
            TWide& t = bound.texts.back();
            length = SQLLEN(t.size() * sizeof(SQLWCHAR));
            rc = SQLBindParameter(statement.handle, number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                  SQL_WVARCHAR, std::max<SQLULEN>(t.size(), 1), 0, t.data(), length,
                                  &length);
            break;
        }
        case TOdbcValue::TKind::integer:
            bound.integers.push_back(p.integer);
            rc = SQLBindParameter(statement.handle, number, SQL_PARAM_INPUT, SQL_C_SBIGINT,
                                  SQL_BIGINT, 0, 0, &bound.integers.back(), 0, nullptr);
            break;
        case TOdbcValue::TKind::real:
            bound.reals.push_back(p.real);
            rc = SQLBindParameter(statement.handle, number, SQL_PARAM_INPUT, SQL_C_DOUBLE,
                                  SQL_DOUBLE, 0, 0, &bound.reals.back(), 0, nullptr);
            break;
        default:
            length = SQL_NULL_DATA;
            rc = SQLBindParameter(statement.handle, number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                  SQL_WVARCHAR, 1, 0, nullptr, 0, &length);
        }
        if (!Succeeded(rc)) {
            error = Diagnostics(SQL_HANDLE_STMT, statement.handle, "binding a parameter");
            return false;
        }
    }
    SQLRETURN rc = SQLExecute(statement.handle);
    if (!Succeeded(rc) && rc != SQL_NO_DATA) {
        error = Diagnostics(SQL_HANDLE_STMT, statement.handle, "running a statement");
        return false;
    }
    return true;
}

} // namespace

bool TOdbcConnection::Execute(const std::string& sql, const TOdbcRow& parameters,
                              TOdbcError& error) {
    if (!h_->connected) {
        error = {"08003", "not connected"};
        return false;
    }
    TStatement statement;
    TBound bound;
    return Run(h_->dbc, timeoutSeconds_, sql, parameters, statement, bound, error);
}

bool TOdbcConnection::Query(const std::string& sql, const TOdbcRow& parameters,
                            std::vector<TOdbcRow>& rows, TOdbcError& error) {
    rows.clear();
    if (!h_->connected) {
        error = {"08003", "not connected"};
        return false;
    }
    TStatement statement;
    TBound bound;
    if (!Run(h_->dbc, timeoutSeconds_, sql, parameters, statement, bound, error)) return false;
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement.handle, &columns);
    for (;;) {
        SQLRETURN rc = SQLFetch(statement.handle);
        if (rc == SQL_NO_DATA) return true;
        if (!Succeeded(rc)) {
            error = Diagnostics(SQL_HANDLE_STMT, statement.handle, "reading a result");
            return false;
        }
        TOdbcRow row;
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(columns); ++c) {
            TOdbcValue cell;
            TWide text;
            // A long text comes in parts, each ended with a zero.
            for (;;) {
                SQLWCHAR part[256];
                SQLLEN length = 0;
                rc = SQLGetData(statement.handle, c, SQL_C_WCHAR, part, sizeof part, &length);
                if (rc == SQL_NO_DATA) break;
                if (!Succeeded(rc)) {
                    error = Diagnostics(SQL_HANDLE_STMT, statement.handle, "reading a value");
                    return false;
                }
                if (length == SQL_NULL_DATA) break;
                cell.kind = TOdbcValue::TKind::text;
                const std::size_t room = sizeof part / sizeof part[0] - 1;
                const std::size_t got =
                    length == SQL_NO_TOTAL || std::size_t(length) / sizeof(SQLWCHAR) > room
                        ? room
                        : std::size_t(length) / sizeof(SQLWCHAR);
                text.append(part, got);
                if (rc == SQL_SUCCESS) break;
            }
            if (cell.kind == TOdbcValue::TKind::text) cell.text = Narrow(text.data(), text.size());
            row.push_back(std::move(cell));
        }
        rows.push_back(std::move(row));
    }
}
