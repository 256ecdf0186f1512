// Prints, as JSON, the example mobile number of every region of libphonenumber-js
// in the forms people write it: E.164, national format and international format.
// Usage: node format-examples.cjs <unpacked libphonenumber-js package folder>
'use strict'
const path = require('path')
const pkg = process.argv[2]
const lib = require(path.join(pkg, 'max', 'index.cjs'))
const examples = require(path.join(pkg, 'examples.mobile.json'))

const out = {}
for (const region of Object.keys(examples).sort()) {
    const number = lib.parsePhoneNumber(examples[region], region)
    out[region] = {
        nationalNumber: number.nationalNumber,
        e164: number.number,
        national: number.formatNational(),
        international: number.formatInternational(),
        type: number.getType() || '',
    }
}
process.stdout.write(JSON.stringify(out, null, 1))
