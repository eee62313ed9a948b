#TITLE:‹È–¼=A:B
#ARTIST: Someone ;
#FILE:music\a.b.wav;
#FILE:song;
#MSD:made by hand;
#BPM:128.55;
#title:lower case is no tag;
 #BPM:100;
#GAP:150.5;
