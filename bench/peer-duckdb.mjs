// The SQL engine peer of bench_rows: the rows of two CSV files that were
// removed, added or changed, by key, through DuckDB's FULL OUTER JOIN, written
// to a CSV file, as a user of the engine would write it. A yardstick only:
// bench/peer-duckdb.sh installs its npm package into a scratch folder.
//
// Usage: node peer-duckdb.mjs FILE1 FILE2 KEY OUT [THREADS] [MEMORY_LIMIT]
import { DuckDBInstance } from '@duckdb/node-api';

const [file1, file2, key, out, threads = '2', memory = ''] = process.argv.slice(2);
const quoted = (text) => "'" + text.replaceAll("'", "''") + "'";
const name = (text) => '"' + text.replaceAll('"', '""') + '"';
const options = { threads };
if (memory) options.memory_limit = memory;
const instance = await DuckDBInstance.create(':memory:', options);
const connection = await instance.connect();
await connection.run(
  `COPY (SELECT * FROM read_csv(${quoted(file1)}, all_varchar = true) a
         FULL OUTER JOIN read_csv(${quoted(file2)}, all_varchar = true) b
         ON a.${name(key)} = b.${name(key)}
         WHERE a.${name(key)} IS NULL OR b.${name(key)} IS NULL OR a IS DISTINCT FROM b)
   TO ${quoted(out)} (HEADER, DELIMITER ',')`);
