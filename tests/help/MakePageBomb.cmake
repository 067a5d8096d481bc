# Writes a help project whose start page is an 18 MB HTML table that packs into a few
# hundred KB, as a hostile file would: cmake -DOUT=<folder> -P MakePageBomb.cmake
string(REPEAT "<tr><td>cell</td><td>1234567890</td><td>abcdefghij</td></tr>\n" 300000 rows)
file(WRITE "${OUT}/bomb.htm"
     "<html><head><title>Bomb</title></head><body><table border=\"1\">\n${rows}</table></body></html>\n")
file(WRITE "${OUT}/small.htm"
     "<html><head><title>Small</title></head><body><p>A page of normal size.</p></body></html>\n")
file(WRITE "${OUT}/PageBomb.hhp" "[OPTIONS]
Compiled file=PageBomb.chm
Default topic=bomb.htm
Language=0x409 English (United States)
Title=Page Bomb

[FILES]
bomb.htm
small.htm
")
