#!/usr/bin/env python3
"""Writes the manual page of ferrywright-cli from its own --help texts, so the
two never disagree.

    cli-manpage.py PROGRAM VERSION OUTPUT.1

Reads `PROGRAM --help` (usage, description, command list, closing notes) and
`PROGRAM COMMAND --help` for each command listed there.
"""
import os
import re
import subprocess
import sys
import tempfile


def help_text(program, *arguments):
    # A home of its own: the build never reads or writes the builder's data.
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, HOME=home, LC_ALL='C.UTF-8')
        env.pop('XDG_DATA_HOME', None)
        done = subprocess.run([program, *arguments, '--help'], capture_output=True, text=True, check=True, env=env)
    return done.stdout


def roff(text):
    """Text for a roff line: backslashes kept, options' dashes as minus signs."""
    text = text.replace('\\', '\\e')
    text = re.sub(r'(?<![\w-])-|(?<=-)-', r'\\-', text)
    return '\\&' + text if text.startswith(('.', "'")) else text


def paragraphs(lines):
    """Blank-line separated blocks, each joined to one line."""
    blocks, current = [], []
    for line in lines + ['']:
        if line.strip():
            current.append(line.strip())
        elif current:
            blocks.append(' '.join(current))
            current = []
    return blocks


def entries(lines):
    """'  -x, --name <V>   text' rows with their continuation lines: (name, text) pairs."""
    rows = []
    for line in lines:
        if not line.strip():
            continue
        match = re.match(r'^  (\S.*?)(?:\s{2,}(.*))?$', line)
        if match and not line.startswith('   '):
            rows.append([match.group(1), match.group(2) or ''])
        elif rows:
            rows[-1][1] = (rows[-1][1] + ' ' + line.strip()).strip()
    return rows


def sections(text):
    """The usage line, the paragraphs before the first 'Name:' heading, and each heading's lines."""
    lines = text.rstrip('\n').split('\n')
    usage = lines[0].removeprefix('Usage: ')
    heads = {}
    current = None
    before = []
    for line in lines[1:]:
        if re.match(r'^[A-Z][a-z]+:$', line):
            current = line[:-1]
            heads[current] = []
        elif current is None:
            before.append(line)
        else:
            heads[current].append(line)
    return usage, before, heads


def command_page(program, name, out):
    usage, before, heads = sections(help_text(program, name))
    out.append('.SS "%s"' % roff(name))
    out.append('.B ' + roff(usage))
    for block in paragraphs(before):
        out.extend(['.PP', roff(block)])
    for heading in ('Arguments', 'Options'):
        for option, text in entries(heads.get(heading, [])):
            out.extend(['.TP', '.B ' + roff(option), roff(text)])


def first_sentence(blocks):
    """The start of the program's description, for the NAME line."""
    sentence = blocks[0].split('. ')[0].rstrip('.') if blocks else 'the command line of Ferrywright'
    return sentence[:1].lower() + sentence[1:]


def main():
    program, version, output = sys.argv[1:4]
    usage, before, heads = sections(help_text(program))
    # After the command list come the closing notes, one paragraph a line.
    command_lines = heads.get('Commands', [])
    commands = entries([line for line in command_lines if line.startswith('  ')])
    notes = [line for line in command_lines if line.strip() and not line.startswith('  ')]
    description = paragraphs(before)
    out = ['.TH FERRYWRIGHT\\-CLI 1 "" "ferrywright-cli %s" "User Commands"' % roff(version),
           '.SH NAME',
           'ferrywright\\-cli \\- ' + roff(first_sentence(description)),
           '.SH SYNOPSIS',
           '.B ' + roff(usage),
           '.SH DESCRIPTION']
    for block in description:
        out.extend(['.PP', roff(block)])
    out.append('.SH COMMANDS')
    for name, summary in commands:
        command_page(program, name, out)
    out.append('.SH NOTES')
    for note in notes:
        out.extend(['.PP', roff(note)])
    out.extend(['.SH SEE ALSO', '.BR adb (1),', '.BR ferrywright (1)'])
    with open(output, 'w', encoding='utf-8') as page:
        page.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
