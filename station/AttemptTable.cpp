#include "station/AttemptTable.h"

const char* const kAttemptTableSql = "CREATE TABLE varnomiksal_attempts (\n"
                                     "  id           CHAR(36)         NOT NULL PRIMARY KEY,\n"
                                     "  start_time   VARCHAR(32)      NOT NULL,\n"
                                     "  end_time     VARCHAR(32)      NOT NULL,\n"
                                     "  host         VARCHAR(255)     NOT NULL,\n"
                                     "  slot         VARCHAR(255)     NOT NULL,\n"
                                     "  port         VARCHAR(255)     NOT NULL,\n"
                                     "  usb          VARCHAR(255),\n"
                                     "  device       VARCHAR(255),\n"
                                     "  version      VARCHAR(255),\n"
                                     "  image        VARCHAR(255),\n"
                                     "  image_sha256 CHAR(64),\n"
                                     "  result       VARCHAR(32)      NOT NULL,\n"
                                     "  failure      VARCHAR(64),\n"
                                     "  message      VARCHAR(1000),\n"
                                     "  blocks       INTEGER          NOT NULL,\n"
                                     "  seconds      DOUBLE PRECISION NOT NULL,\n"
                                     "  tag          VARCHAR(255)\n"
                                     ")";

namespace {

// At most `characters` characters of UTF-8 text, so that a long name from a
// device fits its column instead of refusing the row forever.
std::string Fit(const std::string& text, std::size_t characters) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == characters)
            return text.substr(0, i);
    return text;
}

TOdbcValue Text(const std::string& text, std::size_t characters = 255) {
    return TOdbcValue::Text(Fit(text, characters));
}

// Absent fields are NULL.
TOdbcValue Optional(const std::string& text, std::size_t characters = 255) {
    return text.empty() ? TOdbcValue() : Text(text, characters);
}

} // namespace

bool EnsureAttemptTable(TOdbcConnection& db, TOdbcError& error) {
    std::vector<TOdbcRow> rows;
    if (db.Query("SELECT id FROM varnomiksal_attempts WHERE 1 = 0", {}, rows, error)) return true;
    TOdbcError missing = error;
    if (db.Execute(kAttemptTableSql, {}, error)) return true;
    // Another station may have made it meanwhile.
    if (db.Query("SELECT id FROM varnomiksal_attempts WHERE 1 = 0", {}, rows, error)) return true;
    error.message = "the table varnomiksal_attempts cannot be read (" + missing.message +
                    ") nor made (" + error.message + ")";
    return false;
}

bool InsertAttempt(TOdbcConnection& db, const TAttemptRecord& r, TOdbcError& error) {
    const TOdbcRow row = {Text(r.id, 36),
                          Text(r.start, 32),
                          Text(r.end, 32),
                          Text(r.host),
                          Text(r.slot),
                          Text(r.port),
                          Optional(r.usb),
                          Optional(r.device),
                          Optional(r.version),
                          Optional(r.image),
                          Optional(r.imageSha256, 64),
                          Text(r.result, 32),
                          Optional(r.failure, 64),
                          Optional(r.message, 1000),
                          TOdbcValue::Integer(r.blocks),
                          TOdbcValue::Real(r.seconds),
                          Optional(r.tag)};
    if (db.Execute("INSERT INTO varnomiksal_attempts (id, start_time, end_time, host, slot, port, "
                   "usb, device, version, image, image_sha256, result, failure, message, blocks, "
                   "seconds, tag) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   row, error))
        return true;
    // Refused: is this id stored already (drivers name a key's violation
    // differently)?
    std::vector<TOdbcRow> rows;
    TOdbcError lookup;
    if (db.Query("SELECT id FROM varnomiksal_attempts WHERE id = ?", {Text(r.id, 36)}, rows,
                 lookup) &&
        !rows.empty())
        return true;
    return false;
}
