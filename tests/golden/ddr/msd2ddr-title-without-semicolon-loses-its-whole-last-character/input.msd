#TITLE:ƒeƒXƒg
#ARTIST:‰ÌŽè;
#SINGLE:BASIC:1:4;
