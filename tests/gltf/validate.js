// Runs the Khronos glTF validator over .glb and .gltf files (a .gltf file's
// buffer and images are read from beside it). Prints one line per file with
// its error and warning counts, then every error and warning; exits 1 when
// any file has an error, or cannot be read at all.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
	const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
		uri: path.basename(file),
		maxIssues: 0, // every issue
		externalResourceFunction: (uri) => fs.promises.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri))),
	});
	const issues = report.issues;
	console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings`);
	// severity: 0 error, 1 warning, 2 information, 3 hint
	const counts = new Map();
	for (const m of issues.messages.filter((m) => m.severity <= 1)) {
		const key = `  ${m.severity === 0 ? 'error' : 'warning'} ${m.code}: ${m.message}`;
		counts.set(key, (counts.get(key) || 0) + 1);
	}
	for (const [line, n] of counts)
		console.log(n > 1 ? `${line} (x${n})` : line);
	return issues.numErrors;
}

async function main() {
	const files = process.argv.slice(2);
	let failed = 0;
	for (const file of files) {
		try {
			if (await validate(file) > 0)
				++failed;
		} catch (error) {
			console.log(`${file}: cannot be validated: ${error}`);
			++failed;
		}
	}
	console.log(`${files.length - failed} passed, ${failed} failed`);
	process.exit(failed > 0 || files.length === 0 ? 1 : 0);
}

main();
