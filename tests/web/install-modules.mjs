// Installs the packages package-lock.json names into node_modules/, as `npm ci` would for this
// folder, without npm: Debian's npm brings some 300 packages of its own onto a fresh machine, for
// the one thing done here. Each package's archive comes from the npm registry (or the address
// the lock file gives) and must match the lock file's integrity hash before it is unpacked;
// a package already unpacked at its locked version is kept.
// Usage: node install-modules.mjs   (in tests/web; NPM_REGISTRY=URL for another registry)
import crypto from "node:crypto";
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
const registry = (process.env.NPM_REGISTRY || "https://registry.npmjs.org").replace(/\/$/, "");
const lock = JSON.parse(fs.readFileSync(path.join(here, "package-lock.json"), "utf8"));

function archiveAddress(name, entry) {
  if (entry.resolved) return entry.resolved;
  return `${registry}/${name}/-/${name.split("/").pop()}-${entry.version}.tgz`;
}

// "sha512-BASE64": the archive's bytes must hash to it.
function checkIntegrity(name, bytes, integrity) {
  const [algorithm, expected] = integrity.split(/-(.*)/s);
  const actual = crypto.createHash(algorithm).update(bytes).digest("base64");
  if (actual !== expected) throw new Error(`${name}: the archive's ${algorithm} is not the lock file's`);
}

function installedVersion(folder) {
  try {
    return JSON.parse(fs.readFileSync(path.join(folder, "package.json"), "utf8")).version;
  } catch {
    return null;
  }
}

async function install(where, entry) {
  const name = where.slice(where.lastIndexOf("node_modules/") + "node_modules/".length);
  const folder = path.join(here, where);
  if (installedVersion(folder) === entry.version) return false;
  if (!entry.integrity) throw new Error(`${name}: the lock file gives no integrity hash`);
  const address = archiveAddress(name, entry);
  const response = await fetch(address);
  if (!response.ok) throw new Error(`${name}: ${address} answered HTTP ${response.status}`);
  const bytes = Buffer.from(await response.arrayBuffer());
  checkIntegrity(name, bytes, entry.integrity);
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  // An npm archive holds its files under one top folder (package/, for most).
  const tar = spawnSync("tar", ["-xzf", "-", "--strip-components=1", "--no-same-owner", "-C", folder], { input: bytes });
  if (tar.status !== 0) throw new Error(`${name}: its archive does not unpack: ${tar.stderr}`);
  return true;
}

const entries = Object.entries(lock.packages).filter(([where, entry]) => where.startsWith("node_modules/") && !entry.link);
let fetched = 0;
try {
  // A few at a time: each mostly waits on the network.
  for (let i = 0; i < entries.length; i += 8) {
    const results = await Promise.all(entries.slice(i, i + 8).map(([where, entry]) => install(where, entry)));
    fetched += results.filter(Boolean).length;
  }
} catch (error) {
  console.error(`install-modules: ${error.message}`);
  process.exit(1);
}
console.log(`install-modules: ${entries.length} packages, ${fetched} fetched`);
