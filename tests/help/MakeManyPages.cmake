# Writes a help project of 300 pages, too many for one directory chunk, each with a word of its
# own: cmake -DOUT=<folder> -P MakeManyPages.cmake
set(files "")
foreach(i RANGE 100 399)
    file(WRITE "${OUT}/p${i}.htm"
         "<html><head><title>Page ${i}</title></head><body><p>Only here: word${i}.</p></body></html>\n")
    string(APPEND files "p${i}.htm\n")
endforeach()
file(WRITE "${OUT}/Many.hhp" "[OPTIONS]
Compiled file=Many.chm
Default topic=p100.htm
Language=0x409 English (United States)
Title=Many Pages
Full-text search=Yes

[FILES]
${files}")
