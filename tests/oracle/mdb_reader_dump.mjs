// Prints what npm's mdb-reader reads from Access files, for the tests that compare our Jet
// reader with it. Usage: node mdb_reader_dump.mjs FILE..., or with no FILE it reads one file
// name a line from standard input, until that ends.
//
// One JSON line a file, in the order given, written as soon as that file is read:
//   {"file": F, "tables": [{"name": T, "columns": [{"name": C, "type": TYPE}, ...],
//                           "rowCount": N, "rows": [[value, ...], ...]}, ...]}
// with each row's values in the order of "columns", and N the row count that the table's
// definition holds (which a damaged file may contradict); a table that cannot be read is
// {"name": T, "error": MESSAGE}, and a file that cannot be opened {"file": F, "error": MESSAGE}.
// Values: null, numbers, texts and booleans as JSON has them; big integers and numbers that
// JSON cannot hold (NaN, infinities) as texts; dates as ISO texts; binary data as
// {"type": "Buffer", "data": [bytes]}.
import { readFileSync, writeSync } from "node:fs";
import { createInterface } from "node:readline";
import MDBReader from "mdb-reader";

function message(error) {
    return error instanceof Error ? `${error.name}: ${error.message}` : String(error);
}

function replacer(_key, value) {
    if (typeof value === "bigint") {
        return value.toString();
    }
    if (typeof value === "number" && !Number.isFinite(value)) {
        return String(value);
    }
    return value;
}

function readTable(reader, name) {
    try {
        const table = reader.getTable(name);
        const columns = table.getColumns().map((column) => ({ name: column.name, type: column.type }));
        const names = columns.map((column) => column.name);
        const rows = table.getData().map((row) => names.map((column) => row[column] ?? null));
        return { name, columns, rowCount: table.rowCount, rows };
    } catch (error) {
        return { name, error: message(error) };
    }
}

function dump(file) {
    let reader;
    let names;
    try {
        reader = new MDBReader(readFileSync(file));
        names = reader.getTableNames();
    } catch (error) {
        return { file, error: message(error) };
    }
    return { file, tables: names.map((name) => readTable(reader, name)) };
}

// Written synchronously, so a caller that stops a run on a hanging file keeps every line
// before it.
function print(file) {
    writeSync(1, JSON.stringify(dump(file), replacer) + "\n");
}

const files = process.argv.slice(2);
if (files.length > 0) {
    files.forEach(print);
} else {
    for await (const line of createInterface({ input: process.stdin, crlfDelay: Infinity })) {
        print(line);
    }
}
