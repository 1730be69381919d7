// Peer of our listing: mdb-reader (node) reads every row of 知识点.
//
//   node bench/mdb_reader_list.mjs FILE
//
// Prints "rows=<n> bytes=<UTF-8 bytes of the four columns>" like norvane_bench.
// mdb-reader is installed by `npm ci` in tests/node.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { pathToFileURL } from "node:url";

// Resolved from tests/node, where the project keeps its node dependencies.
const fromTests = createRequire(new URL("../tests/node/package.json", import.meta.url));
const { default: MDBReader } = await import(pathToFileURL(fromTests.resolve("mdb-reader")).href);

const file = process.argv[2];
if (!file) {
  console.error("usage: node bench/mdb_reader_list.mjs FILE");
  process.exit(2);
}
const reader = new MDBReader(readFileSync(file));
const table = reader.getTable("知识点");
let rows = 0;
let bytes = 0;
for (const row of table.getData({ columns: ["ID", "标题", "内容", "资料链接"] })) {
  rows += 1;
  for (const value of Object.values(row)) {
    if (value !== null && value !== undefined) bytes += Buffer.byteLength(String(value));
  }
}
console.log(`rows=${rows} bytes=${bytes}`);
