# The examples of a page of the manual (Markdown, or a manual page whose
# .EX/.EE blocks sed has turned to plain text), as tab-separated records:
#
#   cmd  COMMAND  OUTPUT     a line "$ COMMAND" in a code block and the
#                            lines after it, up to the next "$ " line or
#                            the block's end, joined by spaces; a command
#                            that shows no output is not an example
#   code FILE  OUTPUT  SHOWN  a ```c or ```cpp block that holds a main(),
#                            written to FILE (set dir=FOLDER): FOLDER/NAME.c
#                            or .cpp, where NAME is the program that the
#                            next block runs ("$ ./NAME"), or exN; OUTPUT is
#                            what that block shows, and SHOWN is 1 when it
#                            shows any
#
#   awk -v dir=FOLDER -f doc_examples.awk PAGE
function flush() { if (cmd != "" && output != "") print "cmd\t" cmd "\t" output; cmd = ""; output = "" }
/^(```|\.EX|\.EE)/ {
    if (!inblock) {
        inblock = 1
        n++
        lang[n] = $0
        sub(/^```/, "", lang[n])
        text[n] = ""
        next
    }
    flush()
    inblock = 0
    next
}
inblock {
    text[n] = text[n] $0 "\n"
    if (/^\$ /) { flush(); cmd = substr($0, 3); next }
    if (cmd != "") output = output " " $0
}
END {
    for (i = 1; i <= n; i++) {
        if ((lang[i] != "c" && lang[i] != "cpp") || text[i] !~ /main\(/) continue
        name = "ex" i
        shown = ""
        if (i < n && text[i + 1] ~ /^\$ \.\/[A-Za-z0-9_]+\n/) {
            split(text[i + 1], lines, "\n")
            name = substr(lines[1], 5)
            for (j = 2; j in lines; j++) if (lines[j] != "") shown = shown " " lines[j]
        }
        file = dir "/" name "." lang[i]
        printf "%s", text[i] > file
        close(file)
        print "code\t" file "\t" shown "\t" (shown != "")
    }
}
