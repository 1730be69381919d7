// Prints one table of an Access file as JSON lines, read by mdb-reader:
//   node read_table.mjs FILE TABLE
// Used by the engine's tests as an independent reader.
import MDBReader from "mdb-reader";
import { readFileSync } from "fs";

const [file, table] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file));
if (!table) {
  for (const name of reader.getTableNames()) console.log(name);
} else {
  for (const row of reader.getTable(table).getData()) console.log(JSON.stringify(row));
}
