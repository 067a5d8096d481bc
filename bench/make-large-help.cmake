# Writes the sources of a large help file into OUT: PAGES pages, a contents tree with one
# entry in six of them, and an index of KEYWORDS keywords, for chmcmd to compile.
set(hhp "[OPTIONS]\nCompiled file=Large.chm\nContents file=toc.hhc\nIndex file=index.hhk\n")
string(APPEND hhp "Default topic=p0.htm\nLanguage=0x409 English (United States)\n")
string(APPEND hhp "Title=Large help\n\n[FILES]\n")
set(toc "<html><body>\n<ul>\n")
math(EXPR last "${PAGES} - 1")
foreach(i RANGE ${last})
    file(WRITE "${OUT}/p${i}.htm"
         "<html><head><title>Page ${i}</title></head><body><h1>Page ${i}</h1>\n"
         "<p>Topic ${i} of the large help file, with a <a href=\"p0.htm\">link home</a>.</p>\n"
         "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
         "incididunt ut labore et dolore magna aliqua ${i}.</p></body></html>\n")
    string(APPEND hhp "p${i}.htm\n")
    math(EXPR mod "${i} % 6")
    if(mod EQUAL 0)
        string(APPEND toc "<li><object type=\"text/sitemap\"><param name=\"Name\" value=\"Page ${i}\">"
                          "<param name=\"Local\" value=\"p${i}.htm\"></object>\n")
    endif()
endforeach()
string(APPEND toc "</ul>\n</body></html>\n")
set(hhk "<html><body>\n<ul>\n")
math(EXPR last "${KEYWORDS} - 1")
foreach(i RANGE ${last})
    math(EXPR page "${i} % ${PAGES}")
    string(APPEND hhk "<li><object type=\"text/sitemap\"><param name=\"Keyword\" value=\"key ${i}\">"
                      "<param name=\"Local\" value=\"p${page}.htm\"></object>\n")
endforeach()
string(APPEND hhk "</ul>\n</body></html>\n")
file(WRITE "${OUT}/Large.hhp" "${hhp}")
file(WRITE "${OUT}/toc.hhc" "${toc}")
file(WRITE "${OUT}/index.hhk" "${hhk}")
